// Checked output: standard output, the report file, and files replaced as a whole.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace kelvor {

// Writes one line (and its line end) to standard output; throws FileError on failure.
void writeStdout(const std::string& line);
// A progress line on standard error, rewritten in place on a terminal, is wiped before the next
// standard-output line, so that the two never share a line of the terminal.
void noteProgressLine(bool shown);
void clearProgressLine();

// Flushes standard output; throws FileError when that fails (a full disk, a closed pipe).
void flushStdout();
// Flushes and closes standard output at the end of the process; throws FileError on failure.
void closeStdout();

// Every line given to writeStdout is also appended to `lines` while it is set (nullptr: none);
// with `hold`, the lines go there only and standard output stays untouched. A run keeps its
// standard output this way so that a resumed run can write it again from its first line.
void tapStdout(std::vector<std::string>* lines, bool hold = false);

// The report file. Opening creates a missing file and leaves an existing one as it is; the
// first line written empties it, so a run that stops before writing leaves an earlier report
// untouched, and afterwards the file holds only this run's lines. Every line is flushed.
class ReportFile {
 public:
  ReportFile() = default;
  ~ReportFile();
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  void open(const std::string& path);
  // Opens an existing report to go on after its first `length` bytes: what follows them is cut
  // off, and the lines written come after them (a device is simply written to).
  void openAt(const std::string& path, long long length);
  void write(const std::string& line);
  void close();
  bool isOpen() const { return fd_ >= 0; }

 private:
  std::string path_;
  int fd_ = -1;
  bool emptied_ = false;
};

// Replaces several files together: each content goes to a temporary file beside its target,
// every temporary is written and synced completely, and only then are they renamed into place.
// A crash or a full disk leaves the set either as it was or complete and new, never cut or mixed:
// a crash among the renames leaves the new set's rest in its temporaries, where currentPath
// finds it and where the next replacement of the set takes it from first. A directory in a
// target's place is refused before anything is written.
void replaceFiles(const std::vector<std::pair<std::string, std::string>>& files);

// Finishes the renames of a replacement of the set `targets` that stopped among them (its commit
// mark stands), so that every target holds the set's current content itself; does nothing when
// no replacement of the set stopped there.
void finishReplacing(const std::vector<std::string>& targets);

// The file that holds the current content of `target`, a member of the set replaced together
// whose first file is `first`: the target itself, or its temporary when a replacement of the
// set stopped among its renames. Looks only; changes nothing.
std::string currentPath(const std::string& target, const std::string& first);

}  // namespace kelvor
