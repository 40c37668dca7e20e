// The local time of day, read once per process.
//
// When the environment variable KELVOR_TIME=hh:mm:ss is set, it replaces the clock, so that a
// run can be repeated exactly; a malformed value is a configuration error (config/environment.h).
#pragma once

#include "network/time_of_day.h"

namespace kelvor {

// Fills t with the hour, minute and second. The first call reads the clock (or KELVOR_TIME);
// later calls give the same values.
void itime(TimeOfDay& t);

// Tests and resumed runs: fix the time that itime gives, or forget it so that the next call
// reads again.
void setTimeOfDay(const TimeOfDay& t);
void resetTimeOfDay();

}  // namespace kelvor
