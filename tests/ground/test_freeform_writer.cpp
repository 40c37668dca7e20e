// The free-form output line and the fixed epoch-line layout.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "ground/freeform_writer.h"

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

// G24.15E3 as printf forms it: two conversions, the exponent of the first picking the form.
std::string realByPrintf(double v) {
  char sci[64], fixed[400], out[448];
  std::snprintf(sci, sizeof sci, "%.14e", std::fabs(v));
  const int e = std::atoi(std::strchr(sci, 'e') + 1) + 1;
  if (e >= 0 && e <= 15) {
    std::snprintf(fixed, sizeof fixed, "%#.*f", 15 - e, v);
    std::snprintf(out, sizeof out, "%19s     ", fixed);
    return out;
  }
  char digits[16] = {sci[0]};
  std::memcpy(digits + 1, sci + 2, 14);
  std::snprintf(out, sizeof out, "%s0.%sE%c%03d", v < 0 ? "-" : "", digits, e < 0 ? '-' : '+', std::abs(e));
  return std::string(24 - std::strlen(out), ' ') + out;
}

TEST(FreeformWriter, RealsHaveTheBytesOfPrintfEverywhere) {
  std::vector<double> values;
  std::mt19937_64 rng(77);
  for (int i = 0; i < 300000; ++i) {  // every finite bit pattern is as likely
    const std::uint64_t bits = rng();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (std::isfinite(v) && v != 0.0) values.push_back(v);
  }
  std::uniform_real_distribution<double> weight(-3.0, 3.0);
  for (int i = 0; i < 200000; ++i) values.push_back(weight(rng));  // the values weight files hold
  // Exact ties at the 15th digit, which round to even: 2^-22 and its odd multiples have 16
  // digits, as have 15-digit integers plus a half, 14-digit ones plus a quarter and 16-digit
  // integers ending in 5.
  for (int k = 0; k <= 24; ++k)
    for (int j = 1; j <= 4000; ++j) values.push_back(std::ldexp(j * 1.0, -k) * (j % 2 ? 1 : -1));
  std::uniform_int_distribution<std::int64_t> digits15(100000000000000, 999999999999999);
  for (int i = 0; i < 20000; ++i) {
    const double n = static_cast<double>(digits15(rng));
    values.push_back(n + 0.5);
    values.push_back(-(std::floor(n / 10) + 0.25));
    values.push_back(n * 10 + 5);
  }
  for (int k = -323; k <= 308; ++k)  // around every power of ten and where 15 digits carry into it
    for (double m : {1.0, 1.0 - 5e-16, 1.0 - 4e-16, 1.0 - 6e-16}) {
      double v = std::pow(10.0, k) * m;
      for (int s = 0; s < 4; ++s) v = std::nextafter(v, 0.0);
      for (int s = 0; s < 8 && std::isfinite(v); ++s, v = std::nextafter(v, INFINITY)) values.push_back(v);
    }
  values.push_back(std::numeric_limits<double>::denorm_min());
  values.push_back(-std::numeric_limits<double>::max());
  int wrong = 0;
  for (double v : values)
    if (formatReal(v) != realByPrintf(v) && ++wrong <= 5) ADD_FAILURE() << formatReal(v) << " | " << realByPrintf(v);
  EXPECT_EQ(wrong, 0) << "of " << values.size();
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
