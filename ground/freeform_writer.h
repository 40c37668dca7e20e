// The free-form output line: one leading blank, then the items in their fixed forms.
//
//   integer  right-justified in 12 columns                      "           5"
//   real     G24.15E3: 0.634 -> "  0.634000000000000     ", 0.05 -> "  0.500000000000000E-001"
//   text     every character as it stands
//
// Zero is written in fixed notation with 14 decimals ("   0.00000000000000     "), a value
// that is not a number as "NaN" and infinities as "Infinity"/"-Infinity", each
// right-justified in 24 columns.
#pragma once

#include <string>
#include <string_view>

namespace kelvor {

std::string formatInteger(int value);             // I12
std::string formatReal(double value);             // G24.15E3
void appendReal(std::string& out, double value);  // the same, appended to out
std::string formatScoreD(double value);           // D12.4: "  0.6523D+00"

// The epoch line of the report file: I6, 2X, D12.4, 2X, D12.4, 2X, D12.4 (48 characters).
std::string formatEpochLine(int epoch, double train, double valid, double test);

// Builds one free-form line; str() holds it without the line end.
class Line {
 public:
  Line() : text_(" ") {}
  Line& text(std::string_view s) {
    text_ += s;
    return *this;
  }
  Line& letter(char c) {
    text_ += c;
    return *this;
  }
  Line& integer(int v) {
    text_ += formatInteger(v);
    return *this;
  }
  Line& real(double v) {
    appendReal(text_, v);
    return *this;
  }
  const std::string& str() const { return text_; }

 private:
  std::string text_;
};

}  // namespace kelvor
