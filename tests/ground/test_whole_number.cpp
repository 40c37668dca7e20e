// Whole numbers as the environment variables and the test hook write them: digits only, a range.
#include <gtest/gtest.h>

#include <climits>

#include "ground/whole_number.h"

namespace kelvor {
namespace {

TEST(WholeNumber, DigitsWithinTheRangeAreTakenAndNothingElse) {
  long long v = -7;
  EXPECT_TRUE(parseWholeNumber("0", 0, 8, v));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(parseWholeNumber("08", 0, 8, v));
  EXPECT_EQ(v, 8);
  EXPECT_TRUE(parseWholeNumber("1000000000", 0, 1000000000, v));
  EXPECT_EQ(v, 1000000000);
  EXPECT_TRUE(parseWholeNumber("9223372036854775807", 0, LLONG_MAX, v));
  EXPECT_EQ(v, LLONG_MAX);
  v = -7;
  for (const char* bad : {"", "9", "-0", "+1", " 1", "1 ", "1.0", "1e0", "0x1", "one", "1\n"})
    EXPECT_FALSE(parseWholeNumber(bad, 0, 8, v)) << '"' << bad << '"';
  EXPECT_FALSE(parseWholeNumber(nullptr, 0, 8, v));
  EXPECT_FALSE(parseWholeNumber("0", 1, 8, v));  // below the range
  EXPECT_EQ(v, -7);                              // a refused text leaves the value alone
}

TEST(WholeNumber, TextsBeyondAnyIntegerAreRefusedNotWrapped) {
  long long v = 0;
  EXPECT_FALSE(parseWholeNumber("9223372036854775808", 0, LLONG_MAX, v));
  EXPECT_FALSE(parseWholeNumber("18446744073709551617", 0, 1000000000, v));  // wraps to 1 in 64 bits
  EXPECT_FALSE(parseWholeNumber("1000000001", 0, 1000000000, v));
  EXPECT_FALSE(parseWholeNumber("99999999999999999999999x", 0, LLONG_MAX, v));
  EXPECT_FALSE(parseWholeNumber("10", 0, 9, v));
  EXPECT_TRUE(parseWholeNumber("9", 0, 9, v));
  EXPECT_EQ(v, 9);
}

}  // namespace
}  // namespace kelvor
