#include "run/text/freeform_writer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kelvor {
namespace {

std::string rightJustify(const std::string& s, std::size_t width) {
  if (s.size() >= width) return s;
  return std::string(width - s.size(), ' ') + s;
}

std::string nonFinite(double v, std::size_t width) {
  if (std::isnan(v)) return rightJustify("NaN", width);
  return rightJustify(v < 0 ? "-Infinity" : "Infinity", width);
}

// Decimal digits and exponent of v rounded to `digits` significant digits:
// v ~ 0.d1d2...dn x 10^exp10 (so 0.05 gives "5000...", exponent -1).
void scientific(double v, int digits, std::string& mantissa, int& exp10) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*e", digits - 1, std::fabs(v));
  // buf: d.ddddde[+-]xx
  mantissa.clear();
  mantissa += buf[0];
  const char* p = buf + 2;
  while (*p != 'e') mantissa += *p++;
  exp10 = std::atoi(p + 1) + 1;
}

}  // namespace

std::string formatInteger(int value) { return rightJustify(std::to_string(value), 12); }

std::string formatReal(double v) {
  if (!std::isfinite(v)) return nonFinite(v, 24);
  if (v == 0.0) return rightJustify(std::signbit(v) ? "-0.00000000000000" : "0.00000000000000", 19) +
                       "     ";
  std::string digits;
  int e = 0;
  scientific(v, 15, digits, e);
  // 0.1 <= |v| < 10^15 after rounding: fixed notation, 15 - e decimals, in 19 columns + 5 blanks.
  if (e >= 0 && e <= 15) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%#.*f", 15 - e, v);
    return rightJustify(buf, 19) + "     ";
  }
  std::string s = v < 0 ? "-0." : "0.";
  s += digits;
  s += 'E';
  s += e < 0 ? '-' : '+';
  char ebuf[16];
  std::snprintf(ebuf, sizeof ebuf, "%03d", std::abs(e));
  s += ebuf;
  return rightJustify(s, 24);
}

std::string formatScoreD(double v) {
  if (!std::isfinite(v)) return nonFinite(v, 12);
  std::string digits = "0000";
  int e = 0;
  if (v != 0.0) scientific(v, 4, digits, e);
  std::string s = v < 0 ? "-0." : "0.";
  s += digits;
  s += 'D';
  s += e < 0 ? '-' : '+';
  char ebuf[16];
  std::snprintf(ebuf, sizeof ebuf, "%02d", std::abs(e));
  s += ebuf;
  return rightJustify(s, 12);
}

std::string formatEpochLine(int epoch, double train, double valid, double test) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%6d", epoch);
  std::string s = buf;
  for (double v : {train, valid, test}) s += "  " + formatScoreD(v);
  return s;
}

}  // namespace kelvor
