// Error types carried up to the entry point, each with its own exit status.
#pragma once

#include <stdexcept>
#include <string>

namespace kelvor {

// Exit statuses of the program.
enum ExitStatus : int {
  kExitOk = 0,
  kExitUsage = 1,     // bad command line or configuration value
  kExitFile = 2,      // a file could not be opened, read or written
  kExitData = 3,      // inconsistent input data (the stops with their own report lines)
  kExitBusy = 4,      // another run holds the working directory
  kExitMemory = 5,    // out of memory
};

// A failure of the file layer: names the file, the line (0 when unknown) and what went wrong.
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

// A configuration value outside its allowed range, or a bad command line.
class ConfigError : public std::runtime_error {
 public:
  explicit ConfigError(const std::string& what) : std::runtime_error(what) {}
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

// Another run holds the working directory's lock.
class BusyError : public std::runtime_error {
 public:
  explicit BusyError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace kelvor
