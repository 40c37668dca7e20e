// The configuration checks, all in one place, each refusal one ConfigError message that names
// the setting, its value and the allowed range.
#pragma once

#include <string>

#include "config/defaults.h"

namespace kelvor {

// Settings checked before the part sizes are formed: test fraction 0..1, requested protein count
// not negative, and the seed offset, whose seed formula must stay defined at this time of day.
void checkSettings(const Settings& s, const std::string& file, int seedOffset);

// The fold number: its test block must lie wholly inside or wholly outside the n list lines.
void checkFold(int fold, double fraction, int n, int t, const std::string& file);

}  // namespace kelvor
