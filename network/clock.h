// The local time of day, read once per process.
//
// When the environment variable KELVOR_TIME=hh:mm:ss is set, it replaces the clock, so that a
// run can be repeated exactly; a malformed value is a configuration error.
#pragma once

#include <array>

namespace kelvor {

using TimeOfDay = std::array<int, 3>;  // hour, minute, second

// Fills t with the hour, minute and second. The first call reads the clock (or KELVOR_TIME);
// later calls give the same values.
void itime(TimeOfDay& t);

// Tests: fix the time that itime gives, or forget it so that the next call reads again.
void setTimeOfDay(const TimeOfDay& t);
void resetTimeOfDay();

// Parses "hh:mm:ss" (0-23, 0-59, 0-59); false when malformed.
bool parseTimeOfDay(const char* text, TimeOfDay& t);

}  // namespace kelvor
