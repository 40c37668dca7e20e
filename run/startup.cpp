#include "run/startup.h"

#include <cstdio>

#include "config/validate.h"
#include "dataset/setio.h"
#include "network/netinit.h"
#include "ground/activity.h"

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
  checkRun(run.cfg, *run.store, files.defaults, defaultDataRoot(), {files.report, files.lock});
  if (checked) checked(run.cfg);

  netinit(*run.net, *run.store, seedOffset);
  {
    Activity a("reading the data set");
    setio(*run.store, defaultDataRoot());
    run.net->outs.assign(static_cast<std::size_t>(run.store->nta) * 3, 0.0);
  }
  warnEmptyParts(*run.store);
  return run;
}

}  // namespace kelvor
