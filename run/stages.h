// The two phases of a run, from the start or from where a checkpoint left them.
#pragma once

#include <chrono>

#include "config/defaults.h"
#include "dataset/store.h"
#include "network/engine.h"
#include "run/checkpoint_keeper.h"
#include "run/report_file.h"
#include "run/schedule.h"

namespace kelvor {

// Where a run stands: the phase it is in and that phase's state.
struct RunPosition {
  Stage stage = Stage::kFirst;
  PhaseState phase;
};

// Which phases saved weights in this run (a resumed run counts what it did before it stopped).
struct SavedSets {
  bool first = false;
  bool filter = false;
};

// Runs the first-stage phase (unless `from` is in the filter phase), then the filter phase,
// with progress on a terminal and a checkpoint kept at the end of every epoch.
SavedSets runStages(Engine& engine, Network& net, DataStore& store, ReportFile& report, const RunConfig& cfg,
                    CheckpointKeeper& keeper, const RunPosition& from = {});

// The end of a completed run: closes the report file, flushes standard output, removes the
// checkpoint and writes the closing line on standard error. Returns the exit status.
int endRun(ReportFile& report, CheckpointKeeper& keeper, std::chrono::steady_clock::time_point started,
           const RunConfig& cfg, const SavedSets& saved);

}  // namespace kelvor
