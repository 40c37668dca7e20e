// One phase of a run: training epochs with the best weights kept, the final pass, and the
// report lines of the phase.
#pragma once

#include <functional>

#include "dataset/store.h"
#include "network/engine.h"
#include "network/state.h"
#include "run/report_file.h"

namespace kelvor {

struct PhaseResult {
  int epoch = 1;           // the epoch counter printed in the cross-validation block
  int bestEpoch = 0;       // the epoch whose weights were kept (0: none saved in this run)
  double testScore = 0.0;  // test-part score of the final pass
};

// Called after every epoch line: stage, epoch, epoch limit, seconds the epoch took.
using EpochHook = std::function<void(Stage, int, int, double)>;

// Where a phase stands between two epochs: all that the rest of the phase depends on besides
// the network's weights and previous changes and the weight files.
struct PhaseState {
  int epoch = 1;         // the next epoch to run; after an early stop, the epoch that stopped
  double best = -20.0;   // best validation score so far
  int stale = 0;         // epochs without improvement
  int bestEpoch = 0;     // the epoch whose weights were kept (0: none saved in this run)
  bool stopped = false;  // the early stop has ended the epochs
};

// Called at the end of every epoch, after its lines, with the state that the next epoch (or the
// final pass) starts from and whether the phase saves its weights next (`saving`: the call comes
// just before that save). The Network then holds the weights and previous changes as the epoch
// left them, which are the weights saved.
using EpochEndHook = std::function<void(Stage, const PhaseState&, bool saving)>;

// Runs a phase: epochs (epochLimit > 0), the final pass with the kept weights, and its lines:
// epoch lines and the cross-validation block in the report file, the early-stop and "Q10P:"
// lines on standard output, and after the first stage the "#After filter" heading in both.
// A phase resumed from `from` goes on as if it had run its earlier epochs in this process.
PhaseResult runPhase(Stage stage, Engine& engine, Network& net, DataStore& store, ReportFile& report, int epochLimit,
                     int requested, const EpochHook& hook = {}, const PhaseState& from = {},
                     const EpochEndHook& epochEnd = {});

}  // namespace kelvor
