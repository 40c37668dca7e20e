#include "run/stages.h"

#include "run/closing_line.h"
#include "run/progress.h"
#include "ground/errors.h"
#include "ground/output.h"

namespace kelvor {

SavedSets runStages(Engine& engine, Network& net, DataStore& store, ReportFile& report, const RunConfig& cfg,
                    CheckpointKeeper& keeper, const RunPosition& from) {
  Progress progress(store.nta);
  EpochHook hook = [&](Stage s, int e, int limit, double seconds) { progress.epoch(s, e, limit, seconds); };
  EpochEndHook keep = [&](Stage s, const PhaseState& state, bool saving) { keeper.epochEnd(s, state, net, saving); };
  SavedSets saved;
  // A run resumed in the filter phase has kept first-stage weights: its outputs are built from them.
  saved.first = from.stage == Stage::kFilter;
  if (from.stage == Stage::kFirst) {
    saved.first =
        runPhase(Stage::kFirst, engine, net, store, report, cfg.epochLimit, cfg.requested, hook, from.phase, keep)
            .bestEpoch > 0;
    progress.done();
  }
  const PhaseState filterStart = from.stage == Stage::kFilter ? from.phase : PhaseState{};
  saved.filter =
      runPhase(Stage::kFilter, engine, net, store, report, cfg.epochLimit, cfg.requested, hook, filterStart, keep)
          .bestEpoch > 0;
  progress.done();
  return saved;
}

int endRun(ReportFile& report, CheckpointKeeper& keeper, std::chrono::steady_clock::time_point started,
           const RunConfig& cfg, const SavedSets& saved) {
  report.close();
  flushStdout();
  keeper.completed();
  writeClosingLine(started, cfg.reportName, saved.first, saved.filter);
  return kExitOk;
}

}  // namespace kelvor
