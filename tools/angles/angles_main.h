// The whole of kelvor-angles behind its entry point.
#pragma once

namespace kelvor::angles {

// Returns the exit status; errors are thrown to the entry point (UsageError, ConfigError,
// FileError, BusyError, DataStop, TrainingError).
int runAngles(int argc, char** argv);

}  // namespace kelvor::angles
