// The checkpoint of an angle training run, "angles.checkpoint" in its directory: the trainer's
// checkpoint format and identity checks (run/checkpoint.h, run/run_identity.h) under a name of
// its own, with the angle network's state in it. It is read as the trainer reads its own
// (readCheckpoint with angleRunFiles' name).
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "config/defaults.h"
#include "dataset/store.h"
#include "run/checkpoint.h"

namespace kelvor::angles {

// Records the run's standard output from its first line and, at the end of an epoch, at most
// once every KELVOR_CHECKPOINT_SECONDS seconds (default 60; 0: every epoch), replaces the
// checkpoint with where the run stands.
class AngleKeeper {
 public:
  explicit AngleKeeper(std::string dir);
  ~AngleKeeper();
  AngleKeeper(const AngleKeeper&) = delete;
  AngleKeeper& operator=(const AngleKeeper&) = delete;

  // The run as it started, once its data set is made; `store` must outlive the keeper.
  void started(const RunConfig& cfg, int seedOffset, const DataStore& store);
  void resumed(const Checkpoint& cp, const RunConfig& cfg);
  // `net` holds the weights and previous changes as the epoch left them. A checkpoint that
  // cannot be written is reported once on standard error; the run goes on.
  void epochEnd(const PhaseState& state, const Network& net);
  // Removes the checkpoint (an earlier run's when a run starts, this run's when it completes).
  void remove();

 private:
  std::string path_;
  Checkpoint cp_;
  std::vector<std::string> lines_;
  const DataStore* store_ = nullptr;
  bool dataHashed_ = false;
  std::string reportName_;
  double interval_ = 60.0;
  std::chrono::steady_clock::time_point last_;
  bool warned_ = false;
};

}  // namespace kelvor::angles
