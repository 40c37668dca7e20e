// The settings of "kelvor.in", listed once: each with its name, the line that holds it and the
// member of Settings it fills. The settings reader, the checkpoint's writer and reader and the
// change detection of a resume all walk this table, so a setting added here is read, kept and
// compared everywhere at once.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "config/defaults.h"

namespace kelvor {

struct SettingField {
  enum Kind { kInteger, kReal, kText };
  const char* name;  // as messages name it: "learning rate"
  int line;          // its line of the defaults file (values of one line are read together)
  Kind kind;
  int Settings::*integer = nullptr;
  double Settings::*real = nullptr;
  std::string Settings::*text = nullptr;
  std::size_t width = 0;  // text: the field's length in characters
  bool isName = false;    // text: a file name, refused when longer than its field, never cut
};

inline constexpr std::array<SettingField, 11> kSettingFields{{
    {"epoch limit", 1, SettingField::kInteger, &Settings::epochLimit},
    {"requested protein count", 2, SettingField::kInteger, &Settings::requested},
    {"unused integer", 3, SettingField::kInteger, &Settings::unused},
    {"learning rate", 4, SettingField::kReal, nullptr, &Settings::rate},
    {"momentum", 5, SettingField::kReal, nullptr, &Settings::momentum},
    {"gain", 6, SettingField::kReal, nullptr, &Settings::gain},
    {"attenuation scale dcay", 7, SettingField::kReal, nullptr, &Settings::dcay},
    {"fold number", 8, SettingField::kInteger, &Settings::fold},
    {"test fraction", 9, SettingField::kReal, nullptr, &Settings::testFraction},
    {"protein list file name", 10, SettingField::kText, nullptr, nullptr, &Settings::listName, kNameField, true},
    {"word after the protein list name", 10, SettingField::kText, nullptr, nullptr, &Settings::word, 6},
}};

}  // namespace kelvor
