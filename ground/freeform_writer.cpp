#include "ground/freeform_writer.h"

#include <charconv>
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

// G24.15E3 straight into `out`. One correctly rounded conversion to 15 significant digits (the
// same digits printf gives, ties to even) decides the form; the fixed form rounds at the same
// digit, so it is those digits with the point moved, never a second conversion. Weight files
// are some 75 000 of these each.
void appendReal(std::string& out, double v) {
  if (!std::isfinite(v)) {
    out += nonFinite(v, 24);
    return;
  }
  if (v == 0.0) {
    out += std::signbit(v) ? "  -0.00000000000000     " : "   0.00000000000000     ";
    return;
  }
  char sci[32];
  const std::to_chars_result r = std::to_chars(sci, sci + sizeof sci, std::fabs(v), std::chars_format::scientific, 14);
  // sci: d.dddddddddddddde[+-]xx[x]; the value is 0.d1d2...d15 x 10^e.
  char digits[15];
  digits[0] = sci[0];
  std::memcpy(digits + 1, sci + 2, 14);
  int e = 0;
  for (const char* p = sci + 18; p < r.ptr; ++p) e = e * 10 + (*p - '0');
  e = (sci[17] == '-' ? -e : e) + 1;

  char field[24];
  int n = 0;
  if (v < 0) field[n++] = '-';
  if (e >= 0 && e <= 15) {
    // 0.1 <= |v| < 10^15 after rounding: fixed notation, 15 - e decimals, in 19 columns + 5 blanks.
    if (e == 0) field[n++] = '0';
    std::memcpy(field + n, digits, static_cast<std::size_t>(e));
    n += e;
    field[n++] = '.';
    std::memcpy(field + n, digits + e, static_cast<std::size_t>(15 - e));
    n += 15 - e;
    out.append(static_cast<std::size_t>(19 - n), ' ');
    out.append(field, static_cast<std::size_t>(n));
    out.append(5, ' ');
    return;
  }
  field[n++] = '0';
  field[n++] = '.';
  std::memcpy(field + n, digits, 15);
  n += 15;
  field[n++] = 'E';
  field[n++] = e < 0 ? '-' : '+';
  const int a = e < 0 ? -e : e;  // at most 324
  field[n++] = static_cast<char>('0' + a / 100);
  field[n++] = static_cast<char>('0' + a / 10 % 10);
  field[n++] = static_cast<char>('0' + a % 10);
  out.append(static_cast<std::size_t>(24 - n), ' ');
  out.append(field, static_cast<std::size_t>(n));
}

std::string formatReal(double v) {
  std::string s;
  s.reserve(24);
  appendReal(s, v);
  return s;
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
