// kelvor-predict: per-residue secondary-structure predictions from trained weight sets.
#include <cstdio>
#include <exception>
#include <new>

#include "ground/activity.h"
#include "ground/errors.h"
#include "ground/std_descriptors.h"
#include "tools/predict/errors.h"
#include "tools/predict/options.h"
#include "tools/predict/predict_run.h"
#include "tools/predict/writers.h"

int main(int argc, char** argv) {
  using namespace kelvor;
  // Closed standard descriptors would be taken by the first files opened.
  if (!openStandardDescriptors()) return kExitFile;
  using namespace kelvor::predict;
  auto fail = [](const char* what, int status) {
    std::fflush(stdout);
    std::fprintf(stderr, "kelvor-predict: %s\n", what);
    return status;
  };
  try {
    const Options options = parseOptions(argc, argv);
    if (options.help) {
      std::fputs(usageText().c_str(), stdout);
      return kExitOk;
    }
    if (options.version) {
      std::printf("kelvor-predict %s\n", toolVersion().c_str());
      return kExitOk;
    }
    const int status = runPredict(options);
    if (std::fflush(stdout) != 0) return fail("cannot write to standard output", kExitFile);
    return status;
  } catch (const UsageError& e) {
    fail(e.what(), kExitUsage);
    std::fprintf(stderr, "Try 'kelvor-predict --help'.\n");
    return kExitUsage;
  } catch (const ConfigError& e) {
    return fail(e.what(), kExitUsage);
  } catch (const InputError& e) {
    return fail(e.what(), kExitData);
  } catch (const BusyError& e) {
    return fail(e.what(), kExitBusy);
  } catch (const FileError& e) {
    return fail(e.what(), kExitFile);
  } catch (const std::bad_alloc&) {
    return fail(outOfMemoryMessage().c_str(), kExitMemory);
  } catch (const std::exception& e) {
    return fail(e.what(), kExitFile);
  }
}
