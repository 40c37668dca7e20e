// The run driver: command line, start-up order, the two phases, the end of the run.
#pragma once

#include <optional>
#include <string>

namespace kelvor {

// The seed offset that the first command-line argument gives: the argument (cut to 120
// characters) read as a free-form real and rounded half away from zero. No argument, or one
// that holds no value (a leading slash or comma), gives 7. Throws UsageError when it does not
// read as a number or its rounded value does not fit in 32 bits.
int seedOffsetFromArgument(const char* argument);

// The whole run (kelvo_r). Returns the exit status; errors are thrown to the entry point.
int kelvo_r(int argc, char** argv);

}  // namespace kelvor
