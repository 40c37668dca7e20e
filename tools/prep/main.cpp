// kelvor-prep: the per-protein files and the protein list from DSSP and PSI-BLAST output, and a
// check of a data root the way kelvor reads it.
#include <cstdio>

#include "ground/errors.h"
#include "ground/program_main.h"
#include "tools/prep/options.h"
#include "tools/prep/prep_run.h"

int main(int argc, char** argv) {
  using namespace kelvor;
  return runProgram({"kelvor-prep", tryHelpHint("kelvor-prep")}, argc, argv, [](int argc, char** argv) -> int {
    const prep::Options options = prep::parseOptions(argc, argv);
    if (options.help) {
      std::fputs(prep::usageText().c_str(), stdout);
      return kExitOk;
    }
    if (options.version) {
      std::printf("kelvor-prep %s\n", prep::toolVersion().c_str());
      return kExitOk;
    }
    switch (options.mode) {
      case prep::Options::kConvert:
        return prep::runConvert(options, stdout, stderr);
      case prep::Options::kFasta:
        return prep::runFasta(options, stdout, stderr);
      case prep::Options::kCheck:
        return prep::runCheck(options, stdout, stderr);
    }
    return kExitOk;
  });
}
