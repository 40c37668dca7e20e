#include "tests/support/bit_checks.h"

#include <cstring>
#include <string>

#include "network/same_bits.h"

namespace kelvor::test {

testing::AssertionResult sameBits(const char* aText, const char* bText, double a, double b) {
  if (std::memcmp(&a, &b, sizeof a) == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure() << aText << " and " << bText << " differ in their bits: " << hexReal(a) << " vs "
                                     << hexReal(b);
}

testing::AssertionResult sameBits(const char* aText, const char* bText, const std::vector<double>& a,
                                  const std::vector<double>& b) {
  if (a.size() != b.size())
    return testing::AssertionFailure() << aText << " holds " << a.size() << " values, " << bText << " " << b.size();
  const std::string d = firstBitDifference(aText, a.data(), b.data(), a.size());
  if (d.empty()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << d << "(against " << bText << ")";
}

}  // namespace kelvor::test
