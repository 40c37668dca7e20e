// The names of the files an angle run keeps in its directory, beside (never in place of) the
// trainer's own fort.*, kelvor.valdav, kelvor.lock and kelvor.checkpoint.
#pragma once

#include <string>

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

}  // namespace kelvor::angles
