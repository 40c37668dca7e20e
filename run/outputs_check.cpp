#include "run/outputs_check.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "ground/errors.h"

namespace kelvor {
namespace {

const char* kNothingWritten = " (every output is checked before the run begins; nothing was written)";

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

void needWritableDirectory(const std::string& path, const char* doing) {
  const std::string dir = directoryOf(path);
  if (::access(dir.c_str(), W_OK | X_OK) != 0)
    throw FileError(path, 0,
                    std::string(doing) + ": the directory \"" + dir + "\" is not writable (" + std::strerror(errno) +
                        ")" + kNothingWritten);
}

void checkReport(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    needWritableDirectory(path, "cannot create");
    return;
  }
  if (S_ISDIR(st.st_mode))
    throw FileError(path, 0, std::string("cannot open for writing: is a directory") + kNothingWritten);
  if (::access(path.c_str(), W_OK) != 0)
    throw FileError(path, 0, std::string("cannot open for writing: ") + std::strerror(errno) + kNothingWritten);
}

// A weight file is replaced by writing its temporary beside it and renaming that into place.
void checkReplaceable(const std::string& path) {
  needWritableDirectory(path, "cannot replace");
  for (const std::string& p : {path, path + ".part"}) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0 || S_ISREG(st.st_mode)) continue;
    throw FileError(path, 0,
                    "cannot replace: " + (p == path ? std::string() : "its temporary \"" + p + "\" ") +
                        (S_ISDIR(st.st_mode) ? "is a directory" : "is not a regular file") + kNothingWritten);
  }
}

}  // namespace

void checkOutputsWritable(const RunFiles& files, bool training) {
  checkReport(files.report);
  if (!training) return;
  for (const auto* set : {&files.firstStage, &files.filter})
    for (const std::string& name : *set) checkReplaceable(name);
}

}  // namespace kelvor
