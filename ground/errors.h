// The errors of every kelvor program, carried up to its entry point (ground/program_main.h), each
// with its exit status.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace kelvor {

// Exit statuses of every program.
enum ExitStatus : int {
  kExitOk = 0,
  kExitUsage = 1,   // bad command line or configuration value
  kExitFile = 2,    // a file could not be opened, read or written
  kExitData = 3,    // inconsistent input data, training that diverged
  kExitBusy = 4,    // another run holds the working directory
  kExitMemory = 5,  // out of memory, or a job refused because it would not fit
};

// A failure of the file layer (kExitFile): names the file, the line (0 when unknown) and what
// went wrong.
class FileError : public std::runtime_error {
 public:
  FileError(std::string file, long line, std::string what)
      : std::runtime_error(format(file, line, what)), file_(std::move(file)), line_(line), reason_(std::move(what)) {}
  const std::string& file() const { return file_; }
  long line() const { return line_; }
  const std::string& reason() const { return reason_; }  // what went wrong, without file and line

 private:
  static std::string format(const std::string& file, long line, const std::string& what) {
    std::string s = "file \"" + file + "\"";
    if (line > 0) s += ", line " + std::to_string(line);
    return s + ": " + what;
  }
  std::string file_;
  long line_;
  std::string reason_;
};

// A configuration value outside its allowed range, or a request that cannot be met as asked
// (kExitUsage).
class ConfigError : public std::runtime_error {
 public:
  explicit ConfigError(const std::string& what) : std::runtime_error(what) {}
};

// A bad command line: an unknown option, a missing or bad value, a stray argument (kExitUsage).
// The entry point follows its message with the program's pointer to its help.
class UsageError : public ConfigError {
 public:
  explicit UsageError(const std::string& what) : ConfigError(what) {}
};

// Input data that cannot be used or that disagree (kExitData); the message names the file and
// the line where they are known.
class InputError : public std::runtime_error {
 public:
  explicit InputError(const std::string& what) : std::runtime_error(what) {}
};

// A stop on inconsistent input data. Its report lines have already been written to
// standard output; the process ends with kExitData.
class DataStop : public std::runtime_error {
 public:
  explicit DataStop(const std::string& what) : std::runtime_error(what) {}
};

// Training that stopped because a phase's weights or outputs are no longer finite numbers. The
// weight files in place hold the last finite set; the process ends with kExitData.
class TrainingError : public std::runtime_error {
 public:
  explicit TrainingError(const std::string& what) : std::runtime_error(what) {}
};

// Another run holds the working directory's lock (kExitBusy).
class BusyError : public std::runtime_error {
 public:
  explicit BusyError(const std::string& what) : std::runtime_error(what) {}
};

// A job refused before it starts because it would not fit in the memory the program may use; the
// message says what it needs (kExitMemory). Running out of memory on the way is std::bad_alloc.
class MemoryError : public std::runtime_error {
 public:
  explicit MemoryError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace kelvor
