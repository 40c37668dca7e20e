#include "run/checkpoint_keeper.h"

#include <cstdio>
#include <string>

#include "config/clock.h"
#include "config/environment.h"
#include "ground/errors.h"
#include "run/stdout_tap.h"
#include "run/run_identity.h"
#include "run/weight_records.h"

namespace kelvor {

CheckpointKeeper::CheckpointKeeper(RunFiles files, std::string program)
    : files_(std::move(files)),
      program_(std::move(program)),
      interval_(checkpointSecondsFromEnvironment()),
      last_(std::chrono::steady_clock::now()) {
  tapStdout(&lines_);
}

CheckpointKeeper::~CheckpointKeeper() { tapStdout(nullptr); }

void CheckpointKeeper::started(const RunConfig& cfg, int seedOffset, const DataStore& store) {
  cp_.seedOffset = seedOffset;
  itime(cp_.time);
  cp_.generator = store.seed;
  cp_.settings = cfg.settings;
  cp_.proteinsHash = proteinsHash(store, cfg.listLines);
  store_ = &store;
  reportName_ = cfg.reportName;
}

void CheckpointKeeper::resumed(const Checkpoint& cp, const RunConfig& cfg) {
  cp_.seedOffset = cp.seedOffset;
  cp_.time = cp.time;
  cp_.generator = cp.generator;
  cp_.settings = cp.settings;
  cp_.proteinsHash = cp.proteinsHash;
  cp_.dataHash = cp.dataHash;
  dataHashed_ = true;
  reportName_ = cfg.reportName;
}

void CheckpointKeeper::epochEnd(Stage stage, const PhaseState& state, const Network& net, bool saving) {
  const auto now = std::chrono::steady_clock::now();
  if (!saving && interval_ > 0.0 && std::chrono::duration<double>(now - last_).count() < interval_) return;
  last_ = now;
  try {
    if (!dataHashed_) {
      cp_.dataHash = dataHash(*store_);
      dataHashed_ = true;
    }
    cp_.stage = stage;
    cp_.phase = state;
    cp_.stdoutLines = lines_;
    const ReportPrefix report = reportPrefix(reportName_);
    cp_.reportLength = report.length;
    cp_.reportHash = report.hash;
    takeNetwork(cp_, net);
    cp_.weightFiles = weightFileRecords(files_, saving ? std::optional<Stage>(stage) : std::nullopt, net);
    writeCheckpoint(cp_, files_.checkpoint);
  } catch (const FileError& e) {
    if (!warned_)
      std::fprintf(stderr, "%s: warning: no checkpoint written (%s); the run goes on\n", program_.c_str(), e.what());
    warned_ = true;
  }
}

void CheckpointKeeper::remove(const char* left) {
  try {
    removeCheckpoint(files_.checkpoint);
  } catch (const FileError& e) {
    std::fprintf(stderr, "%s: warning: %s (%s)\n", program_.c_str(), left, e.what());
  }
}

}  // namespace kelvor
