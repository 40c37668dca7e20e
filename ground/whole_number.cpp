#include "ground/whole_number.h"

namespace kelvor {

bool parseWholeNumber(const char* text, long long lo, long long hi, long long& value) {
  if (text == nullptr || *text == '\0') return false;
  long long n = 0;
  bool over = false;  // past hi: the digits go on being checked, the value no longer grows
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    const int digit = *p - '0';
    if (over || n > hi / 10 || n * 10 > hi - digit)
      over = true;
    else
      n = n * 10 + digit;
  }
  if (over || n < lo) return false;
  value = n;
  return true;
}

}  // namespace kelvor
