// Entry point: runs kelvo_r and turns every failure into a message on standard error and a
// distinct exit status.
#include <csignal>
#include <cstdio>
#include <exception>

#include "run/driver.h"
#include "ground/activity.h"
#include "ground/errors.h"
#include "ground/std_descriptors.h"
#include "ground/output.h"

int main(int argc, char** argv) {
  using namespace kelvor;
  // Closed standard descriptors would be taken by the first files opened.
  if (!openStandardDescriptors()) return kExitFile;
  // A closed pipe on standard output is a write error to report, not a reason to die silently.
  std::signal(SIGPIPE, SIG_IGN);
  auto say = [](const char* what, int status) {
    clearProgressLine();
    std::fprintf(stderr, "kelvor: %s\n", what);
    return status;
  };
  auto fail = [&say](const char* what, int status) {
    std::fflush(stdout);  // what the run wrote comes before the message
    return say(what, status);
  };
  // Standard output carries the run's report lines: closing it is checked, so that lines lost
  // to a full disk or a closed pipe are reported, also after a stop.
  auto finish = [&say](int status) {
    try {
      closeStdout();
    } catch (const FileError& e) {
      return say(e.what(), kExitFile);  // standard output is closed now
    }
    return status;
  };
  try {
    return finish(kelvo_r(argc, argv));
  } catch (const DataStop&) {
    return finish(kExitData);  // the report lines are on standard output already
  } catch (const TrainingError& e) {
    return fail(e.what(), kExitData);
  } catch (const FileError& e) {
    return fail(e.what(), kExitFile);
  } catch (const ConfigError& e) {
    return fail(e.what(), kExitUsage);
  } catch (const BusyError& e) {
    return fail(e.what(), kExitBusy);
  } catch (const std::bad_alloc&) {
    return fail(outOfMemoryMessage().c_str(), kExitMemory);
  } catch (const std::exception& e) {
    return fail(e.what(), kExitFile);
  }
}
