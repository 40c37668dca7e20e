#include "ground/names.h"

namespace kelvor {

std::string_view nameOf(std::string_view text) {
  const std::size_t end = text.find_last_not_of(" \t\r");
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

std::string nameField(std::string_view text) {
  std::string field(text.substr(0, kNameField));
  field.resize(kNameField, ' ');
  return field;
}

std::optional<std::string> nameLengthProblem(std::string_view text) {
  const std::size_t length = nameOf(text).size();
  if (length <= kNameField) return std::nullopt;
  return "name of " + std::to_string(length) + " characters; allowed: at most " + std::to_string(kNameField) +
         ", a name is never cut";
}

}  // namespace kelvor
