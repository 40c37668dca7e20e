// The one rule for protein names and the file names kelvor keeps in fixed 120-character fields:
// a name is its text without trailing blanks, and one longer than the field is refused, never
// cut (a cut name would read another protein's files, or none). kelvor, kelvor-predict and
// kelvor-prep all judge names by nameLengthProblem.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kelvor {

constexpr std::size_t kNameField = 120;  // characters of a kept name

// The name that a line or field holds: its text without trailing blanks, tabs or carriage return.
std::string_view nameOf(std::string_view text);

// The field of kNameField characters that keeps the name `text` holds: `text` padded with blanks,
// or cut after the field (only a text without a nameLengthProblem is given, so only its
// trailing blanks are cut).
std::string nameField(std::string_view text);

// Why `text` cannot be kept as a name of kNameField characters ("name of 133 characters; allowed:
// at most 120, a name is never cut"), or nothing when it fits.
std::optional<std::string> nameLengthProblem(std::string_view text);

}  // namespace kelvor
