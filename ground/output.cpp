#include "ground/output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ground/errors.h"
#include "ground/test_kill.h"

namespace kelvor {
namespace {

StdoutListener* listener = nullptr;
bool progressShown = false;

}  // namespace

std::string errnoText(int err) {
  if (err == ENOSPC) return "disk full";
  return std::strerror(err);
}

void writeFully(int fd, const std::string& data, const std::string& path) {
  const char* p = data.data();
  std::size_t size = data.size();
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError(path, 0, "cannot write: " + errnoText(errno));
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
}

void noteProgressLine(bool shown) { progressShown = shown; }

void clearProgressLine() {
  if (!progressShown) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  progressShown = false;
}

void listenToStdout(StdoutListener* l) { listener = l; }

void writeStdout(const std::string& line) {
  if (listener != nullptr && !listener->heard(line)) return;
  clearProgressLine();
  if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() || std::fputc('\n', stdout) == EOF)
    throw FileError("standard output", 0, "cannot write: " + errnoText(errno));
}

void flushStdout() {
  if (std::fflush(stdout) != 0 || std::ferror(stdout))
    throw FileError("standard output", 0, "cannot write: " + errnoText(errno));
}

void closeStdout() {
  flushStdout();
  if (std::fclose(stdout) != 0) throw FileError("standard output", 0, "cannot close: " + errnoText(errno));
}

namespace {

// A replacement that has written every temporary completely is marked by this file before the
// first rename. A run stopped among the renames thus leaves a set that still reads whole (the
// temporaries not yet renamed hold the rest of it, see currentPath), and the next replacement of
// the set finishes those renames before it writes anything.
std::string commitMark(const std::string& first) { return first + ".commit"; }
std::string tempPath(const std::string& target) { return target + ".part"; }

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// Makes the renames and removals in a directory durable. A file system that cannot sync a
// directory (EINVAL) is left as it is.
void syncDirectory(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw FileError(dir, 0, "cannot sync the directory: " + errnoText(errno));
  if (::fsync(fd) != 0 && errno != EINVAL) {
    int err = errno;
    ::close(fd);
    throw FileError(dir, 0, "cannot sync the directory: " + errnoText(err));
  }
  ::close(fd);
}

void finishCommitted(const std::vector<std::string>& targets, const std::string& dir) {
  const std::string mark = commitMark(targets.front());
  if (!exists(mark)) return;
  for (const auto& t : targets)
    if (::rename(tempPath(t).c_str(), t.c_str()) != 0 && errno != ENOENT)
      throw FileError(t, 0, "cannot finish the replacement that an earlier run began: " + errnoText(errno));
  syncDirectory(dir);
  if (::unlink(mark.c_str()) != 0 && errno != ENOENT) throw FileError(mark, 0, "cannot remove: " + errnoText(errno));
  syncDirectory(dir);
}

void writeSynced(const std::string& path, const std::string& temp, const std::string& content) {
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0)
    throw FileError(path, 0,
                    (temp == path ? "cannot write: " : "cannot write (temporary " + temp + "): ") + errnoText(errno));
  try {
    writeFully(fd, content, path);
    if (::fsync(fd) != 0) throw FileError(path, 0, "cannot write: " + errnoText(errno));
    if (::close(fd) != 0) {
      fd = -1;
      throw FileError(path, 0, "cannot close: " + errnoText(errno));
    }
  } catch (...) {
    if (fd >= 0) ::close(fd);
    ::unlink(temp.c_str());
    throw;
  }
}

}  // namespace

void finishReplacing(const std::vector<std::string>& targets) {
  if (!targets.empty()) finishCommitted(targets, directoryOf(targets.front()));
}

std::string currentPath(const std::string& target, const std::string& first) {
  if (exists(commitMark(first)) && exists(tempPath(target))) return tempPath(target);
  return target;
}

void replaceFiles(const std::vector<std::pair<std::string, std::string>>& files) {
  if (files.empty()) return;
  std::vector<std::string> targets;
  for (const auto& f : files) targets.push_back(f.first);
  const std::string dir = directoryOf(targets.front());
  testKillPoint(TestEvent::kSave);
  finishCommitted(targets, dir);
  // Something other than a file in a target's place would stop the renames halfway.
  for (const auto& t : targets) {
    struct stat st {};
    if (::stat(t.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
      throw FileError(t, 0,
                      S_ISDIR(st.st_mode) ? "cannot replace: is a directory" : "cannot replace: not a regular file");
  }

  std::vector<std::string> temps;
  try {
    for (const auto& [path, content] : files) {
      const std::string temp = tempPath(path);
      writeSynced(path, temp, content);
      temps.push_back(temp);
      testKillPoint(TestEvent::kPart);
    }
    syncDirectory(dir);
    writeSynced(commitMark(targets.front()), commitMark(targets.front()), "");
    syncDirectory(dir);
  } catch (...) {
    for (const auto& t : temps) ::unlink(t.c_str());
    ::unlink(commitMark(targets.front()).c_str());
    throw;
  }
  // From here on the new set is complete on disk; a failed rename leaves it to be finished.
  for (std::size_t i = 0; i < files.size(); ++i) {
    testKillPoint(TestEvent::kRename);
    if (::rename(temps[i].c_str(), targets[i].c_str()) != 0)
      throw FileError(targets[i], 0, "cannot replace: " + errnoText(errno));
  }
  syncDirectory(dir);
  if (::unlink(commitMark(targets.front()).c_str()) != 0)
    throw FileError(commitMark(targets.front()), 0, "cannot remove: " + errnoText(errno));
}

}  // namespace kelvor
