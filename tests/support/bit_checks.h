// Bit-for-bit checks of doubles for the tests of the network library and those above it.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <vector>

namespace kelvor::test {

// Bit-for-bit checks of doubles: EXPECT_SAME_BITS(a, b) fails unless a and b have the same bits
// (so 0.0 is not -0.0), and shows both in hexadecimal floating point, every bit of each; for
// arrays, the first element that differs.
testing::AssertionResult sameBits(const char* aText, const char* bText, double a, double b);
testing::AssertionResult sameBits(const char* aText, const char* bText, const std::vector<double>& a,
                                  const std::vector<double>& b);
template <std::size_t N>
testing::AssertionResult sameBits(const char* aText, const char* bText, const std::array<double, N>& a,
                                  const std::array<double, N>& b) {
  return sameBits(aText, bText, std::vector<double>(a.begin(), a.end()), std::vector<double>(b.begin(), b.end()));
}
#define EXPECT_SAME_BITS(a, b) EXPECT_PRED_FORMAT2(::kelvor::test::sameBits, a, b)
#define ASSERT_SAME_BITS(a, b) ASSERT_PRED_FORMAT2(::kelvor::test::sameBits, a, b)

}  // namespace kelvor::test
