#include "run/lock.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

#include "ground/errors.h"

namespace kelvor {
namespace {
std::string workingDirectory() {
  char buf[PATH_MAX];
  return ::getcwd(buf, sizeof buf) ? std::string(buf) : std::string(".");
}
}  // namespace

DirectoryLock::DirectoryLock(const std::string& dir, const std::string& lockName) {
  const std::string where = dir.empty() || dir == "." ? workingDirectory() : dir;
  const std::string name = dir.empty() ? lockName : (dir.back() == '/' ? dir : dir + "/") + lockName;
  fd_ = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0)
    throw FileError(where + "/" + lockName, 0, std::string("cannot create the run lock: ") + std::strerror(errno));
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    char buf[32] = {0};
    ssize_t n = ::pread(fd_, buf, sizeof buf - 1, 0);
    std::string pid = n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string("unknown");
    while (!pid.empty() && (pid.back() == '\n' || pid.back() == ' ')) pid.pop_back();
    ::close(fd_);
    fd_ = -1;
    throw BusyError("another run (process " + pid + ") is using the directory " + where +
                    "; wait for it to end or run in another directory");
  }
  std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size()))
    throw FileError(where + "/" + lockName, 0, std::string("cannot write the run lock: ") + std::strerror(errno));
}

DirectoryLock::~DirectoryLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace kelvor
