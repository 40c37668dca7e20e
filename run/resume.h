// `kelvor --resume`: a training run that was stopped goes on from its last checkpoint, and
// ends exactly as it would have without the stop: the same standard output from its first
// line, the same report file, the same weight files.
#pragma once

#include <chrono>

namespace kelvor {

// Whether the command line asks for a resume; ConfigError when "--resume" comes with another
// argument.
bool wantsResume(int argc, char** argv);

// Checks the checkpoint against the working directory (the defaults file, the protein list, the
// data set, the report file and, in the filter phase, the first-stage weight files) and refuses
// with ResumeRefusal, changing nothing, when they differ; then cuts the report back to the
// checkpoint's length, writes the run's standard output so far again and runs on to the end.
// Returns the exit status.
int resumeRun(std::chrono::steady_clock::time_point started);

}  // namespace kelvor
