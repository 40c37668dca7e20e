// The environment variables kelvor and its companion programs read, every one read and checked
// here by one rule: an unset or empty variable leaves its default; any other value must be one
// the variable allows, or the reader throws ConfigError `NAME is "value"; allowed: ...`.
//
//   KELVOR_TIME=hh:mm:ss            the time of day that enters the random seed, in place of the
//                                   clock (a run repeated exactly)
//   KELVOR_KERNEL=NAME              reference, fast, best or fast-<set> (a set this CPU runs)
//   KELVOR_THREADS=N                threads of the fast kernels, 0 (the cores available) to 8
//   KELVOR_CHECKPOINT_SECONDS=S     at most one checkpoint every S seconds, 0 (every epoch) to
//                                   1000000000; default 60
//
// Whole numbers are plain decimal digits (ground/whole_number.h). The test-only hook
// KELVOR_TEST_KILL_AT is read in ground/test_kill.cpp, below this library, with the same parsing.
#pragma once

#include <optional>
#include <string>

#include "network/engine.h"
#include "network/time_of_day.h"

namespace kelvor {

// KELVOR_TIME, or nothing when it is unset or empty.
std::optional<TimeOfDay> timeFromEnvironment();

// The kernel set and thread count `given`, with what KELVOR_KERNEL and KELVOR_THREADS say in
// place of it when they are set.
EngineChoice engineFromEnvironment(const EngineChoice& given = {});

// KELVOR_CHECKPOINT_SECONDS in seconds, 60 when it is unset or empty.
double checkpointSecondsFromEnvironment();

// Reads every variable above, so that a bad value stops a run before it changes anything.
void checkEnvironment();

// The value of a variable, or nothing when it is unset or empty (the one rule for both).
std::optional<std::string> environmentValue(const char* name);

// Parses "hh:mm:ss" (hh 0-23, mm and ss 0-59, one or two digits each); false when malformed.
bool parseTimeOfDay(const char* text, TimeOfDay& t);

}  // namespace kelvor
