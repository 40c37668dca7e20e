// The entry point shared by every program: standard descriptors, the broken-pipe signal, one
// message and one exit status per kind of error, and a checked close of standard output.
#pragma once

#include <functional>
#include <string>

namespace kelvor {

struct Program {
  std::string name;       // begins every message on standard error: "NAME: what went wrong"
  std::string usageHint;  // written to standard error after a usage error's message ("": none)
};

// "Try 'NAME --help'.\n", the usage hint of a program with a --help option.
std::string tryHelpHint(const std::string& name);

// Runs `body` and returns the process's exit status:
// - descriptors 0, 1 and 2 that are closed are opened on /dev/null first (kExitFile, silently,
//   when that fails), and a closed pipe on standard output is a write error, not a signal;
// - the body's status stands when standard output closes cleanly; a failed close (a full disk, a
//   closed pipe) is reported as a file error. A DataStop (its report lines are on standard
//   output) ends with kExitData under the same check;
// - any other error: standard output is flushed, then "NAME: message" goes to standard error
//   (a usage error adds the program's hint), with the status of its kind (ground/errors.h).
int runProgram(const Program& program, int argc, char** argv, const std::function<int(int, char**)>& body);

}  // namespace kelvor
