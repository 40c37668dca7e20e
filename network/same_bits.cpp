#include "network/same_bits.h"

#include <cstdio>
#include <cstring>

namespace kelvor {
namespace {

template <typename T>
std::string firstDifferenceOf(const char* what, const T* expected, const T* actual, std::size_t n, auto shown) {
  for (std::size_t i = 0; i < n; ++i)
    if (std::memcmp(&expected[i], &actual[i], sizeof(T)) != 0)
      return std::string(what) + "[" + std::to_string(i) + "] differs: expected " + shown(expected[i]) + " vs " +
             shown(actual[i]) + "\n";
  return "";
}

template <typename C>
std::string areas(const char* what, const C& expected, const C& actual) {
  if (expected.size() != actual.size())
    return std::string(what) + ": " + std::to_string(expected.size()) + " values expected, " +
           std::to_string(actual.size()) + " found\n";
  return firstBitDifference(what, expected.data(), actual.data(), expected.size());
}

}  // namespace

std::string hexReal(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%a", v);
  return text;
}

std::string firstBitDifference(const char* what, const double* expected, const double* actual, std::size_t n) {
  return firstDifferenceOf(what, expected, actual, n, [](double v) { return hexReal(v); });
}

std::string firstBitDifference(const char* what, const int* expected, const int* actual, std::size_t n) {
  return firstDifferenceOf(what, expected, actual, n, [](int v) { return std::to_string(v); });
}

std::string kernelStateDifferences(const Network& a, const DataStore& as, const Network& b, const DataStore& bs) {
  std::string d;
  d += areas("wei1", a.wei1, b.wei1);
  d += areas("owei1", a.owei1, b.owei1);
  d += areas("wei2", a.wei2, b.wei2);
  d += areas("owei2", a.owei2, b.owei2);
  d += areas("pwei", a.pwei, b.pwei);
  d += areas("fwei1", a.fwei1, b.fwei1);
  d += areas("ofwei1", a.ofwei1, b.ofwei1);
  d += areas("fwei2", a.fwei2, b.fwei2);
  d += areas("ofwei2", a.ofwei2, b.ofwei2);
  d += areas("hid1", a.hid1, b.hid1);
  d += areas("hid2", a.hid2, b.hid2);
  d += areas("outs", a.outs, b.outs);
  d += areas("fhid", a.fhid, b.fhid);
  d += areas("fout", a.fout, b.fout);
  d += areas("finp", a.finp, b.finp);
  d += areas("sscode", as.sscode, bs.sscode);
  d += areas("nsscode", as.nsscode, bs.nsscode);
  d += areas("xin/targ", as.inout, bs.inout);
  return d;
}

}  // namespace kelvor
