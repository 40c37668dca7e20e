// `kelvor --resume`: a training run that was stopped goes on from its last checkpoint, and
// ends exactly as it would have without the stop: the same standard output from its first
// line, the same report file, the same weight files.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "run/checkpoint.h"
#include "run/run_files.h"
#include "run/startup.h"

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

// The pieces of a resume, for a program that resumes its own kind of run (the angle network).
//
// "cannot resume: <why>; nothing was changed".
std::string resumeRefused(const std::string& why);
// Start-up as the checkpoint's run made it, through the same path as a fresh run: the settings,
// the proteins, every check, the same random seed and initial weights, the data set (then
// `loaded`, which derives from it what the run trains on, before it is hashed). Its lines to
// standard output are collected, not written, and compared with the checkpoint's. Any
// difference is a ResumeRefusal; nothing is taken or written.
StartedRun startAgain(const RunFiles& files, const Checkpoint& cp, const std::function<void(DataStore&)>& loaded = {});
// The report file begins with the bytes the checkpoint's run had written (ResumeRefusal if not).
void checkReportPrefix(const Checkpoint& cp, const std::string& name);

}  // namespace kelvor
