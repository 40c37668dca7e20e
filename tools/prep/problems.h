// What kelvor-prep reports: problems found in input files or in a data root, and the text files
// it reads them from.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ground/errors.h"

namespace kelvor::prep {

// One finding, with the file and line it concerns (line 0: the whole file; file "": none).
struct Problem {
  enum Severity { kError, kWarning };
  Severity severity = kError;
  std::string file;
  long line = 0;
  std::string text;

  static Problem error(std::string file, long line, std::string text) {
    return {kError, std::move(file), line, std::move(text)};
  }
  static Problem warning(std::string file, long line, std::string text) {
    return {kWarning, std::move(file), line, std::move(text)};
  }
  // file "F", line L: text   (warnings start with "warning: ")
  std::string str() const;
};

std::size_t errorCount(const std::vector<Problem>& problems);

// An input file whose content cannot be used; carries the problem that says where and why.
class ProblemError : public InputError {
 public:
  explicit ProblemError(Problem p) : InputError(p.str()), problem_(std::move(p)) {}
  const Problem& problem() const { return problem_; }

 private:
  Problem problem_;
};

// The content of a text file; nothing when the file does not exist. Anything else that keeps the
// file from being read (a directory, no permission) throws FileError. Never creates the file.
std::optional<std::string> loadText(const std::string& path);
// The same, throwing FileError for a missing file.
std::string loadExisting(const std::string& path);

// The lines of a text, without their line ends (a trailing "\r" is dropped too); a last line
// without a line end counts.
std::vector<std::string> splitLines(std::string_view text);

// The blank-separated words of a line.
std::vector<std::string> words(std::string_view line);

}  // namespace kelvor::prep
