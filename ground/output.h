// Checked output: standard output, descriptors written in full, and files replaced as a whole.
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

// Something that sees every line given to writeStdout before it is written (a training run
// records its standard output this way, see run/stdout_tap.h).
class StdoutListener {
 public:
  virtual ~StdoutListener() = default;
  // Takes the line; returns whether it goes on to standard output too.
  virtual bool heard(const std::string& line) = 0;
};

// Sets the one listener of standard output (nullptr: none).
void listenToStdout(StdoutListener* listener);

// Writes all of `data` to the descriptor fd, going on after interrupted and partial writes;
// throws FileError naming `path` on failure.
void writeFully(int fd, const std::string& data, const std::string& path);

// The reason an errno value gives in a message ("disk full" for ENOSPC).
std::string errnoText(int err);

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
