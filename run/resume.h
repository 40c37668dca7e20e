// `kelvor --resume`: a training run that was stopped goes on from its last checkpoint, and
// ends exactly as it would have without the stop: the same standard output from its first
// line, the same report file, the same weight files.
#pragma once

#include <chrono>

#include "run/run_files.h"

namespace kelvor {

// Whether the command line asks for a resume; ConfigError when "--resume" comes with another
// argument.
bool wantsResume(int argc, char** argv);

// Reads the checkpoint (refused at once unless it is a regular file in range), runs the same
// start-up as a fresh run with the checkpoint's seed offset and time of day, and compares what
// that built with the checkpoint: settings, proteins, random generator, data set, standard
// output, the report file and every weight file of both phases. Any difference is refused with
// ResumeRefusal before the lock is taken or a file is touched. Then it takes the lock, makes a
// weight save that the stop cut off again, cuts the report back to the checkpoint's length,
// writes the run's standard output so far again and runs on to the end. Returns the exit status.
int resumeRun(const RunFiles& files, std::chrono::steady_clock::time_point started);

}  // namespace kelvor
