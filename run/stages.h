// The two phases of a run, from the start or from where a checkpoint left them.
#pragma once

#include "config/defaults.h"
#include "dataset/store.h"
#include "network/engine.h"
#include "run/checkpoint_keeper.h"
#include "run/output.h"
#include "run/schedule.h"

namespace kelvor {

// Where a run stands: the phase it is in and that phase's state.
struct RunPosition {
  Stage stage = Stage::kFirst;
  PhaseState phase;
};

// Runs the first-stage phase (unless `from` is in the filter phase), then the filter phase,
// with progress on a terminal and a checkpoint kept at the end of every epoch.
void runStages(Engine& engine, Network& net, DataStore& store, ReportFile& report, const RunConfig& cfg,
               CheckpointKeeper& keeper, const RunPosition& from = {});

}  // namespace kelvor
