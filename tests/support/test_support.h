// Helpers shared by the tests: scratch directories, files, and runs of the kelvor program. They use
// no library of the project, so that the tests of every library can link them (the bit-for-bit
// checks, which use the network library, are in bit_checks.h).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kelvor::test {

// A fresh empty directory under the system's temporary directory, removed on destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Changes the working directory for the lifetime of the object.
class InDirectory {
 public:
  explicit InDirectory(const std::filesystem::path& dir);
  ~InDirectory();

 private:
  std::filesystem::path old_;
};

void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
std::vector<std::string> readLines(const std::string& path);

// Copies the first `count` chains of the shipped example set (their three files) into dir,
// with a protein list "proteins.list" naming them; returns their names.
std::vector<std::string> copyExampleChains(const std::filesystem::path& dir, int count);

// Writes a defaults file with the given settings.
void writeDefaults(const std::filesystem::path& dir, int epochs, int proteins, int fold, double testFraction,
                   const std::string& list = "'proteins.list' real", double rate = 0.001, double momentum = 0.5,
                   double gain = 0.5, double dcay = 1.0);

struct RunResult {
  int status = -1;
  std::string out, err;
};

// Runs the kelvor program in dir with the given arguments and environment additions
// (e.g. "KELVOR_TIME=00:00:00").
RunResult runKelvor(const std::filesystem::path& dir, const std::vector<std::string>& args = {},
                    const std::vector<std::string>& env = {"KELVOR_TIME=00:00:00"});

// Runs `binary` in dir with the given arguments and environment additions, its standard output
// and error captured. With clearTime, KELVOR_TIME is unset first (env may set it again); with
// alarmSeconds above 0, a run that has not ended by then (blocked on a FIFO, say) is ended.
RunResult runProgram(const char* binary, const std::filesystem::path& dir, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, bool clearTime, unsigned alarmSeconds = 0);

// First line where two texts differ, for failure messages ("" when equal).
std::string firstDifference(const std::string& expected, const std::string& actual);

}  // namespace kelvor::test
