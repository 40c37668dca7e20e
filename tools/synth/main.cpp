// kelvor-synth: writes a synthetic data set of realistic shape that kelvor reads.
#include <cstdio>

#include "ground/errors.h"
#include "ground/program_main.h"
#include "tools/synth/options.h"

int main(int argc, char** argv) {
  using namespace kelvor;
  return runProgram({"kelvor-synth", synth::usageText()}, argc, argv, [](int argc, char** argv) -> int {
    const synth::Options o = synth::parseOptions(argc, argv);
    if (o.help) {
      std::fputs(synth::usageText().c_str(), stdout);
      return kExitOk;
    }
    if (o.version) {
      std::fputs(synth::versionText().c_str(), stdout);
      return kExitOk;
    }
    const synth::SetSummary s = synth::writeSet(o.set);
    std::printf("%ld chains, %ld residues (%d to %d a chain) in %s\n", s.chains, s.residues, s.shortest, s.longest,
                o.set.dir.c_str());
    return kExitOk;
  });
}
