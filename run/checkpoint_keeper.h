// Keeps a training run's checkpoint up to date: it records the run's standard output from its
// first line and, at the end of an epoch, at most once every KELVOR_CHECKPOINT_SECONDS seconds
// (default 60; 0: every epoch), replaces the checkpoint with where the run stands. An epoch that
// is about to save weights always writes one first, which records what the save will leave in
// the weight files: so every weight file in place is one that the latest checkpoint knows.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "config/defaults.h"
#include "dataset/store.h"
#include "network/engine.h"
#include "run/checkpoint.h"
#include "run/run_files.h"

namespace kelvor {

class CheckpointKeeper {
 public:
  // Reads the interval (config/environment.h) and starts recording standard output. `program`
  // heads its warnings.
  explicit CheckpointKeeper(RunFiles files = {}, std::string program = "kelvor");
  ~CheckpointKeeper();
  CheckpointKeeper(const CheckpointKeeper&) = delete;
  CheckpointKeeper& operator=(const CheckpointKeeper&) = delete;

  // The run as it started, once the data set is loaded.
  void started(const RunConfig& cfg, int seedOffset, const DataStore& store);
  // A resumed run: the start that its checkpoint recorded.
  void resumed(const Checkpoint& cp, const RunConfig& cfg);
  // The end of an epoch: writes a checkpoint when one is due, and always when `saving` (the
  // phase saves its weights from `net` next). A checkpoint that cannot be written is reported
  // once on standard error; the run goes on (an older one stays usable, though not past a save).
  // `net` holds the weights and previous changes as the epoch left them.
  void epochEnd(Stage stage, const PhaseState& state, const Network& net, bool saving = false);
  // A new run starts its report: an earlier run's checkpoint is removed.
  void discardEarlier() { remove("an earlier run's checkpoint is left"); }
  // The run has completed: its checkpoint is removed.
  void completed() { remove("the checkpoint of this completed run is left"); }

 private:
  // Removing a checkpoint that is no use any more; a failure is only reported (a resume from it
  // gives the same files again, or is refused because the report no longer matches).
  void remove(const char* left);

  RunFiles files_;
  std::string program_;
  Checkpoint cp_;
  std::vector<std::string> lines_;
  const DataStore* store_ = nullptr;
  bool dataHashed_ = false;
  std::string reportName_;
  double interval_ = 60.0;
  std::chrono::steady_clock::time_point last_;
  bool warned_ = false;
};

}  // namespace kelvor
