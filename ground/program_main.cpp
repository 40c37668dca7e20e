#include "ground/program_main.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <new>

#include "ground/activity.h"
#include "ground/errors.h"
#include "ground/output.h"
#include "ground/std_descriptors.h"

namespace kelvor {
namespace {

void say(const Program& program, const char* what) {
  clearProgressLine();
  std::fprintf(stderr, "%s: %s\n", program.name.c_str(), what);
}

// What the program wrote comes before the message.
int fail(const Program& program, const char* what, int status) {
  std::fflush(stdout);
  say(program, what);
  return status;
}

// Standard output may carry all a program has to say: its close is checked, so that lines lost
// to a full disk or a closed pipe are reported, also after a stop.
int finish(const Program& program, int status) {
  try {
    closeStdout();
  } catch (const FileError& e) {
    say(program, e.what());  // standard output is closed now
    return kExitFile;
  }
  return status;
}

}  // namespace

std::string tryHelpHint(const std::string& name) { return "Try '" + name + " --help'.\n"; }

int runProgram(const Program& program, int argc, char** argv, const std::function<int(int, char**)>& body) {
  // Closed standard descriptors would be taken by the first files opened.
  if (!openStandardDescriptors()) return kExitFile;
  // A closed pipe on standard output is a write error to report, not a reason to die silently.
  std::signal(SIGPIPE, SIG_IGN);
  try {
    return finish(program, body(argc, argv));
  } catch (const DataStop&) {
    return finish(program, kExitData);  // the report lines are on standard output already
  } catch (const UsageError& e) {
    fail(program, e.what(), kExitUsage);
    std::fputs(program.usageHint.c_str(), stderr);
    return kExitUsage;
  } catch (const ConfigError& e) {
    return fail(program, e.what(), kExitUsage);
  } catch (const InputError& e) {
    return fail(program, e.what(), kExitData);
  } catch (const TrainingError& e) {
    return fail(program, e.what(), kExitData);
  } catch (const FileError& e) {
    return fail(program, e.what(), kExitFile);
  } catch (const BusyError& e) {
    return fail(program, e.what(), kExitBusy);
  } catch (const MemoryError& e) {
    return fail(program, e.what(), kExitMemory);
  } catch (const std::bad_alloc&) {
    return fail(program, outOfMemoryMessage().c_str(), kExitMemory);
  } catch (const std::exception& e) {
    return fail(program, e.what(), kExitFile);
  }
}

}  // namespace kelvor
