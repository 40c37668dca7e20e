// The working directory's run lock: one run per directory, since every run writes the same
// report and weight file names there.
#pragma once

#include <string>

namespace kelvor {

class DirectoryLock {
 public:
  // Takes the lock file `file` ("kelvor.lock", or the lock of another program that writes files
  // of its own there) in `dir` (the working directory when empty); throws BusyError, naming the
  // directory and the other run's process id, when another run holds it.
  explicit DirectoryLock(const std::string& dir = "", const std::string& file = "kelvor.lock");
  ~DirectoryLock();
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace kelvor
