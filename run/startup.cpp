#include "run/startup.h"

#include <cstdio>

#include "config/clock.h"
#include "config/validate.h"
#include "dataset/setio.h"
#include "network/netinit.h"
#include "ground/activity.h"
#include "ground/freeform_writer.h"
#include "ground/output.h"

namespace kelvor {
namespace {

// An empty test part: said once, on standard error (the empty validation part, once per phase).
void warnEmptyParts(const DataStore& store) {
  if (store.nta == store.ntatrval)
    std::fprintf(stderr, "kelvor: warning: the test part is empty: its scores (Q10P) are not numbers\n");
}

}  // namespace

StartedRun startRun(const RunFiles& files, int seedOffset, const CheckedHook& checked) {
  StartedRun run;
  run.store = std::make_unique<DataStore>();
  run.net = std::make_unique<Network>();
  {
    Activity a("reading the defaults file and the protein list");
    run.cfg = getdefs(*run.store, *run.net, files.defaults, seedOffset);
  }
  run.cfg.reportName = files.report;
  // A training run's weight files are written in place too: none may be one of its inputs.
  std::vector<std::string> outputs{files.report, files.lock};
  if (run.cfg.epochLimit > 0) {
    outputs.insert(outputs.end(), files.firstStage.begin(), files.firstStage.end());
    outputs.insert(outputs.end(), files.filter.begin(), files.filter.end());
  }
  checkRun(run.cfg, *run.store, files.defaults, defaultDataRoot(), outputs);
  if (checked) checked(run.cfg, *run.store);

  TimeOfDay t{};
  itime(t);
  const int seed = netinit(*run.net, *run.store, seedOffset, t);
  writeStdout(Line().text("random seed = ").integer(seed).str());
  {
    Activity a("reading the data set");
    setio(*run.store, defaultDataRoot());
    run.net->sizeOutputs(run.store->nta);
  }
  warnEmptyParts(*run.store);
  return run;
}

}  // namespace kelvor
