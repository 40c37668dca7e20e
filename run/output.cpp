#include "run/output.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "run/errors.h"

namespace kelvor {
namespace {

std::string reason(int err) {
  if (err == ENOSPC) return "disk full";
  return std::strerror(err);
}

void writeAll(int fd, const char* data, std::size_t size, const std::string& path) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError(path, 0, "cannot write: " + reason(errno));
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

}  // namespace

void writeStdout(const std::string& line) {
  if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() || std::fputc('\n', stdout) == EOF)
    throw FileError("standard output", 0, "cannot write: " + reason(errno));
}

void flushStdout() {
  if (std::fflush(stdout) != 0 || std::ferror(stdout))
    throw FileError("standard output", 0, "cannot write: " + reason(errno));
}

ReportFile::~ReportFile() {
  if (fd_ >= 0) ::close(fd_);
}

void ReportFile::open(const std::string& path) {
  path_ = path;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) throw FileError(path, 0, "cannot open for writing: " + reason(errno));
  emptied_ = false;
}

void ReportFile::write(const std::string& line) {
  if (fd_ < 0) throw FileError(path_, 0, "cannot write: file is not open");
  if (!emptied_) {
    if (::ftruncate(fd_, 0) != 0) throw FileError(path_, 0, "cannot write: " + reason(errno));
    emptied_ = true;
  }
  std::string s = line + '\n';
  writeAll(fd_, s.data(), s.size(), path_);
}

void ReportFile::close() {
  if (fd_ < 0) return;
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw FileError(path_, 0, "cannot close: " + reason(errno));
}

void replaceFiles(const std::vector<std::pair<std::string, std::string>>& files) {
  std::vector<std::string> temps;
  auto cleanup = [&] {
    for (const auto& t : temps) ::unlink(t.c_str());
  };
  try {
    for (const auto& [path, content] : files) {
      std::string temp = path + ".part";
      int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0) throw FileError(path, 0, "cannot write (temporary " + temp + "): " + reason(errno));
      temps.push_back(temp);
      try {
        writeAll(fd, content.data(), content.size(), path);
        if (::fsync(fd) != 0) throw FileError(path, 0, "cannot write: " + reason(errno));
      } catch (...) {
        ::close(fd);
        throw;
      }
      if (::close(fd) != 0) throw FileError(path, 0, "cannot close: " + reason(errno));
    }
  } catch (...) {
    cleanup();
    throw;
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (::rename(temps[i].c_str(), files[i].first.c_str()) != 0) {
      int err = errno;
      for (std::size_t j = i; j < temps.size(); ++j) ::unlink(temps[j].c_str());
      throw FileError(files[i].first, 0, "cannot replace: " + reason(err));
    }
  }
  // Make the renames durable.
  int dir = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace kelvor
