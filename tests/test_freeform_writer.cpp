// The free-form output line and the fixed epoch-line layout.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "run/text/freeform_writer.h"

namespace kelvor {
namespace {

TEST(FreeformWriter, IntegersAreRightJustifiedInTwelveColumns) {
  EXPECT_EQ(Line().integer(5).integer(105).str(), "            5         105");
  EXPECT_EQ(formatInteger(-2147483647 - 1), " -2147483648");
  EXPECT_EQ(formatInteger(0), "           0");
}

TEST(FreeformWriter, RealsInFixedNotationBetweenOneTenthAndTenToTheFifteen) {
  EXPECT_EQ(formatReal(0.634), "  0.634000000000000     ");
  EXPECT_EQ(formatReal(12.5), "   12.5000000000000     ");
  EXPECT_EQ(formatReal(-0.634), " -0.634000000000000     ");
  EXPECT_EQ(formatReal(1.0), "   1.00000000000000     ");
  EXPECT_EQ(formatReal(0.1), "  0.100000000000000     ");
  EXPECT_EQ(formatReal(123456789012345.0), "   123456789012345.     ");
  EXPECT_EQ(Line().text("Q10P:").real(0.5912).str(), " Q10P:  0.591200000000000     ");
}

TEST(FreeformWriter, RealsInExponentNotationOutsideThatRange) {
  EXPECT_EQ(formatReal(0.05), "  0.500000000000000E-001");
  EXPECT_EQ(formatReal(-0.05), " -0.500000000000000E-001");
  EXPECT_EQ(formatReal(1e15), "  0.100000000000000E+016");
  EXPECT_EQ(formatReal(1.5e-300), "  0.150000000000000E-299");
  EXPECT_EQ(formatReal(0.0123456789012345678), "  0.123456789012346E-001");
}

TEST(FreeformWriter, RoundingDecidesTheFormAcrossPowersOfTen) {
  // 0.09999999999999999 rounds to 0.1 at 15 digits and so takes the fixed form.
  EXPECT_EQ(formatReal(0.09999999999999999), "  0.100000000000000     ");
  // 9.999999999999999 rounds up to 10 and loses one decimal.
  EXPECT_EQ(formatReal(9.999999999999999), "   10.0000000000000     ");
  EXPECT_EQ(formatReal(999999999999999.9), "  0.100000000000000E+016");
  EXPECT_EQ(formatReal(0.0999999999999994), "  0.999999999999994E-001");
  EXPECT_EQ(formatReal(0.12345678901234567), "  0.123456789012346     ");
}

TEST(FreeformWriter, ZeroAndValuesThatAreNotNumbers) {
  EXPECT_EQ(formatReal(0.0), "   0.00000000000000     ");
  EXPECT_EQ(formatReal(std::numeric_limits<double>::quiet_NaN()), std::string(21, ' ') + "NaN");
  EXPECT_EQ(formatReal(std::numeric_limits<double>::infinity()), std::string(16, ' ') + "Infinity");
  EXPECT_EQ(formatReal(-std::numeric_limits<double>::infinity()), std::string(15, ' ') + "-Infinity");
  for (double v : {0.0, 0.634, 0.05, std::nan(""), 1e300}) EXPECT_EQ(formatReal(v).size(), 24u) << v;
}

TEST(FreeformWriter, TextsLettersAndTheEmptyLine) {
  EXPECT_EQ(Line().str(), " ");
  EXPECT_EQ(Line().text("aa1: ").letter('K').text("     aa2: ").letter('R').str(), " aa1: K     aa2: R");
  EXPECT_EQ(Line().text("random seed = ").integer(6).str(), " random seed =            6");
}

TEST(EpochLine, ScoresInD124Form) {
  EXPECT_EQ(formatScoreD(0.6523), "  0.6523D+00");
  EXPECT_EQ(formatScoreD(1.0), "  0.1000D+01");
  EXPECT_EQ(formatScoreD(0.05), "  0.5000D-01");
  EXPECT_EQ(formatScoreD(0.0), "  0.0000D+00");
  EXPECT_EQ(formatScoreD(0.99996), "  0.1000D+01");
  EXPECT_EQ(formatScoreD(0.65235), "  0.6523D+00");  // 0.65235 is just below the half in binary
  EXPECT_EQ(formatScoreD(std::nan("")), "         NaN");
}

TEST(EpochLine, LayoutIsSixColumnsThenThreeScores) {
  const std::string line = formatEpochLine(12, 0.6523, 0.6012, 0.5987);
  EXPECT_EQ(line, "    12    0.6523D+00    0.6012D+00    0.5987D+00");
  EXPECT_EQ(line.size(), 48u);
}

}  // namespace
}  // namespace kelvor
