// Helpers of the kelvor-prep tests: the test data, runs of the program.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace kelvor::prep::test {

using kelvor::test::readFile;
using kelvor::test::readLines;
using kelvor::test::ScratchDir;
using kelvor::test::writeFile;

inline std::string data(const std::string& name) { return std::string(KELVOR_PREP_DATA) + "/" + name; }
inline std::string examples(const std::string& name) { return std::string(KELVOR_EXAMPLES) + "/" + name; }

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline std::size_t countLines(const std::string& text, const std::string& part) {
  std::size_t n = 0, start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (text.substr(start, end - start).find(part) != std::string::npos) ++n;
    start = end + 1;
  }
  return n;
}

using ToolRun = kelvor::test::RunResult;

// Runs a program in dir with the arguments; standard output and error are captured.
inline ToolRun runProgram(const char* binary, const std::filesystem::path& dir, const std::vector<std::string>& args) {
  return kelvor::test::runProgram(binary, dir, args, {}, false);
}

inline ToolRun runPrep(const std::filesystem::path& dir, const std::vector<std::string>& args) {
  return runProgram(KELVOR_PREP_BINARY, dir, args);
}

// The blank-separated words of one line.
inline std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    std::size_t j = line.find(' ', i);
    if (j == std::string::npos) j = line.size();
    if (j > i) out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

}  // namespace kelvor::prep::test
