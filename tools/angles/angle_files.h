// The names of the files an angle run keeps in its directory, beside (never in place of) the
// trainer's own fort.*, kelvor.valdav, kelvor.lock and kelvor.checkpoint.
#pragma once

#include <string>

#include "run/run_files.h"

namespace kelvor::angles {

inline constexpr const char* kWeightStem = "angles.";  // angles.77, angles.78, angles.79
inline constexpr const char* kReportName = "angles.valdav";
inline constexpr const char* kLockName = "angles.lock";
inline constexpr const char* kCheckpointName = "angles.checkpoint";

// `file` inside `dir` ("" or ".": the working directory).
inline std::string inDir(const std::string& dir, const std::string& file) {
  if (dir.empty() || dir == ".") return file;
  return dir.back() == '/' ? dir + file : dir + "/" + file;
}

// An angle run's files in `dir`, for the trainer's start-up and checkpoint reading: its
// defaults file is dir's kelvor.in, its weights angles.77..79, and it has no filter phase.
inline RunFiles angleRunFiles(const std::string& dir) {
  RunFiles files;
  files.defaults = inDir(dir, "kelvor.in");
  files.report = inDir(dir, kReportName);
  files.checkpoint = inDir(dir, kCheckpointName);
  files.lock = inDir(dir, kLockName);
  files.firstStage.clear();
  for (const char* n : {"77", "78", "79"}) files.firstStage.push_back(inDir(dir, std::string(kWeightStem) + n));
  files.filter.clear();
  return files;
}

}  // namespace kelvor::angles
