// kelvor-angles: learns the accessible surface area and the two backbone angles of every residue
// from its profile window, and predicts them for chains whose structure is unknown.
#include <csignal>
#include <cstdio>
#include <exception>
#include <new>

#include "ground/activity.h"
#include "ground/errors.h"
#include "ground/output.h"
#include "ground/std_descriptors.h"
#include "tools/angles/angles_main.h"

int main(int argc, char** argv) {
  using namespace kelvor;
  if (!openStandardDescriptors()) return kExitFile;
  std::signal(SIGPIPE, SIG_IGN);
  auto fail = [](const char* what, int status) {
    std::fflush(stdout);
    std::fprintf(stderr, "kelvor-angles: %s\n", what);
    return status;
  };
  try {
    const int status = angles::runAngles(argc, argv);
    closeStdout();
    return status;
  } catch (const DataStop&) {
    return kExitData;  // the report lines are on standard output already
  } catch (const TrainingError& e) {
    return fail(e.what(), kExitData);
  } catch (const FileError& e) {
    return fail(e.what(), kExitFile);
  } catch (const ConfigError& e) {
    fail(e.what(), kExitUsage);
    std::fprintf(stderr, "Try 'kelvor-angles --help'.\n");
    return kExitUsage;
  } catch (const BusyError& e) {
    return fail(e.what(), kExitBusy);
  } catch (const std::bad_alloc&) {
    return fail(outOfMemoryMessage().c_str(), kExitMemory);
  } catch (const std::exception& e) {
    return fail(e.what(), kExitFile);
  }
}
