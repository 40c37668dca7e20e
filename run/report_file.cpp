#include "run/report_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ground/errors.h"
#include "ground/output.h"
#include "ground/test_kill.h"

namespace kelvor {

ReportFile::~ReportFile() {
  if (fd_ >= 0) ::close(fd_);
}

void ReportFile::open(const std::string& path) {
  path_ = path;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) throw FileError(path, 0, "cannot open for writing: " + errnoText(errno));
  emptied_ = false;
}

void ReportFile::openAt(const std::string& path, long long length) {
  path_ = path;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd_ < 0) throw FileError(path, 0, "cannot open for writing: " + errnoText(errno));
  struct stat st {};
  if (::fstat(fd_, &st) != 0) throw FileError(path, 0, "cannot write: " + errnoText(errno));
  if (S_ISREG(st.st_mode) && (::ftruncate(fd_, length) != 0 || ::lseek(fd_, length, SEEK_SET) < 0))
    throw FileError(path, 0, "cannot write: " + errnoText(errno));
  emptied_ = true;
}

void ReportFile::write(const std::string& line) {
  if (fd_ < 0) throw FileError(path_, 0, "cannot write: file is not open");
  testKillPoint(TestEvent::kLine);
  if (!emptied_) {
    // Only a regular file can be emptied; a device such as /dev/null is simply written to.
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw FileError(path_, 0, "cannot write: " + errnoText(errno));
    if (S_ISREG(st.st_mode) && ::ftruncate(fd_, 0) != 0) throw FileError(path_, 0, "cannot write: " + errnoText(errno));
    emptied_ = true;
  }
  writeFully(fd_, line + '\n', path_);
}

void ReportFile::close() {
  if (fd_ < 0) return;
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw FileError(path_, 0, "cannot close: " + errnoText(errno));
}

}  // namespace kelvor
