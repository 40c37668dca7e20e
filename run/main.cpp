// Entry point: runs kelvo_r and turns every failure into a message on standard error and a
// distinct exit status.
#include <cstdio>
#include <exception>

#include "run/driver.h"
#include "run/errors.h"

int main(int argc, char** argv) {
  using namespace kelvor;
  auto fail = [](const char* what, int status) {
    std::fflush(stdout);
    std::fprintf(stderr, "kelvor: %s\n", what);
    return status;
  };
  try {
    return kelvo_r(argc, argv);
  } catch (const DataStop&) {
    std::fflush(stdout);
    return kExitData;  // the report lines are on standard output already
  } catch (const FileError& e) {
    return fail(e.what(), kExitFile);
  } catch (const ConfigError& e) {
    return fail(e.what(), kExitUsage);
  } catch (const BusyError& e) {
    return fail(e.what(), kExitBusy);
  } catch (const std::bad_alloc&) {
    return fail("out of memory", kExitFile);
  } catch (const std::exception& e) {
    return fail(e.what(), kExitFile);
  }
}
