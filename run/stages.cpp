#include "run/stages.h"

#include "run/progress.h"

namespace kelvor {

void runStages(Engine& engine, Network& net, DataStore& store, ReportFile& report, const RunConfig& cfg,
               CheckpointKeeper& keeper, const RunPosition& from) {
  Progress progress(store.nta);
  EpochHook hook = [&](Stage s, int e, int limit, double seconds) { progress.epoch(s, e, limit, seconds); };
  EpochEndHook keep = [&](Stage s, const PhaseState& state) { keeper.epochEnd(s, state, engine, net); };
  if (from.stage == Stage::kFirst) {
    runPhase(Stage::kFirst, engine, net, store, report, cfg.epochLimit, cfg.requested, hook, from.phase, keep);
    progress.done();
  }
  const PhaseState filterStart = from.stage == Stage::kFilter ? from.phase : PhaseState{};
  runPhase(Stage::kFilter, engine, net, store, report, cfg.epochLimit, cfg.requested, hook, filterStart, keep);
  progress.done();
}

}  // namespace kelvor
