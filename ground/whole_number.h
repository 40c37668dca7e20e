// Whole numbers written as plain decimal digits, the one form kelvor accepts in its environment
// variables: no sign, no blanks, no exponent.
#pragma once

namespace kelvor {

// The value of `text` when it is one or more decimal digits and lies in lo..hi; false otherwise
// (an empty text, a sign, a blank, a trailing character, a value out of range, however long).
bool parseWholeNumber(const char* text, long long lo, long long hi, long long& value);

}  // namespace kelvor
