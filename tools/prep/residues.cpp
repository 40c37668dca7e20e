#include "tools/prep/residues.h"

#include <cstring>

namespace kelvor::prep {
namespace {

bool isKnown(char c) { return c != '\0' && std::strchr("ARNDCQEGHILKMFPSTWYVBZ", c) != nullptr; }

}  // namespace

char dsspResidueLetter(char c) {
  if (c >= 'a' && c <= 'z') return 'C';
  return isKnown(c) ? c : 'X';
}

char profileResidueLetter(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return isKnown(c) ? c : 'X';
}

std::optional<Reduction> reductionByName(const std::string& name) {
  if (name == "hgi") return Reduction::kHGI;
  if (name == "h") return Reduction::kH;
  return std::nullopt;
}

std::string reductionName(Reduction r) { return r == Reduction::kHGI ? "hgi" : "h"; }

bool isDsspState(char s) { return s != '\0' && std::strchr("HBEGITSP ", s) != nullptr; }

char reduceState(char s, Reduction r) {
  switch (s) {
    case 'H':
      return 'H';
    case 'G':
    case 'I':
      return r == Reduction::kHGI ? 'H' : 'C';
    case 'E':
    case 'B':
      return 'E';
    default:
      return 'C';
  }
}

}  // namespace kelvor::prep
