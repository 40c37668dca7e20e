// kelvor-prep: the per-protein files and the protein list from DSSP and PSI-BLAST output, and a
// check of a data root the way kelvor reads it.
#include <cstdio>
#include <exception>
#include <new>

#include "ground/activity.h"
#include "ground/errors.h"
#include "ground/std_descriptors.h"
#include "tools/prep/options.h"
#include "tools/prep/prep_run.h"
#include "tools/prep/problems.h"

int main(int argc, char** argv) {
  using namespace kelvor;
  // Closed standard descriptors would be taken by the first files opened.
  if (!openStandardDescriptors()) return kExitFile;
  using namespace kelvor::prep;
  auto fail = [](const char* what, int status) {
    std::fflush(stdout);
    std::fprintf(stderr, "kelvor-prep: %s\n", what);
    return status;
  };
  try {
    const Options options = parseOptions(argc, argv);
    if (options.help) {
      std::fputs(usageText().c_str(), stdout);
      return std::fflush(stdout) == 0 ? kExitOk : kExitFile;
    }
    if (options.version) {
      std::printf("kelvor-prep %s\n", toolVersion().c_str());
      return std::fflush(stdout) == 0 ? kExitOk : kExitFile;
    }
    int status = kExitOk;
    switch (options.mode) {
      case Options::kConvert: status = runConvert(options, stdout, stderr); break;
      case Options::kFasta: status = runFasta(options, stdout, stderr); break;
      case Options::kCheck: status = runCheck(options, stdout, stderr); break;
    }
    if (std::fflush(stdout) != 0) return fail("cannot write to standard output", kExitFile);
    return status;
  } catch (const UsageError& e) {
    fail(e.what(), kExitUsage);
    std::fprintf(stderr, "Try 'kelvor-prep --help'.\n");
    return kExitUsage;
  } catch (const InputError& e) {
    return fail(e.what(), kExitData);
  } catch (const FileError& e) {
    return fail(e.what(), kExitFile);
  } catch (const std::bad_alloc&) {
    return fail(outOfMemoryMessage().c_str(), kExitMemory);
  } catch (const std::exception& e) {
    return fail(e.what(), kExitFile);
  }
}
