#include "run/usage.h"

#include <cstring>

#include "dataset/setio.h"
#include "ground/version.h"

namespace kelvor {

InfoRequest infoRequest(int argc, char** argv) {
  if (argc < 2) return InfoRequest::kNone;
  const char* a = argv[1];
  if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) return InfoRequest::kHelp;
  if (std::strcmp(a, "--version") == 0) return InfoRequest::kVersion;
  return InfoRequest::kNone;
}

std::string versionText() { return std::string("kelvor ") + kelvorVersion() + "\n"; }

std::string usageText() {
  return std::string(R"(Usage: kelvor [SEED-OFFSET]
       kelvor --resume
       kelvor --help | -h | --version

Trains (or, with epoch limit 0, loads) a two-stage network that assigns every residue of a set
of protein chains to strand (E), coil (C) or helix (H), and reports the three-state accuracy of
the test part. Run it in a directory that holds "kelvor.in" (for example examples/).

SEED-OFFSET  a number (3, -2.5, 1.5E1), rounded to the nearest integer; 7 when absent. With the
             time of day it gives the random seed of the initial weights.
--resume     goes on with the training run that stopped in this directory, from its last
             checkpoint "kelvor.checkpoint", to the same end as if it had never stopped.

Reads:   kelvor.in         ten settings: epoch limit, proteins to use, (unused), learning rate,
                           momentum, gain, attenuation scale, fold, test fraction, protein list
         the protein list  one protein name per line
         per protein N, under the data root ()") +
         defaultDataRoot() + R"(): dssp_data/N,
                           new_prf/N.mat and kvqout/N.kvqout
         fort.77 ... fort.88  the weight files, in prediction mode and after training
Writes:  standard output   the random seed, the banner, the "Q10P:" scores
         kelvor.valdav     the report: one line per epoch and the cross-validation blocks
         fort.77 fort.78 fort.79  first-stage weights of the best validation epoch
         fort.87 fort.88   filter weights of the best validation epoch
         kelvor.checkpoint where a training run stands, until it completes (see --resume)
         standard error    warnings, errors, progress on a terminal, a closing line

Environment:
  KELVOR_TIME=hh:mm:ss   the time of day that enters the random seed (repeat a run exactly)
  KELVOR_KERNEL=NAME     reference, fast, best or a kernel set by name (default: best)
  KELVOR_THREADS=N       threads of the fast kernels (default: the cores available)
  KELVOR_CHECKPOINT_SECONDS=S  at most one checkpoint every S seconds (default 60; 0: every epoch)

Exit status:
  0  the run completed
  1  bad command line or setting, or a resume that is refused
  2  a file could not be opened, read or written
  3  inconsistent input data, or training whose weights stopped being finite
  4  another kelvor run holds this directory
  5  out of memory
)";
}

}  // namespace kelvor
