#include "tools/angles/angle_checkpoint.h"

#include <cstdio>
#include <filesystem>

#include "config/clock.h"
#include "config/environment.h"
#include "run/checkpoint_keeper.h"
#include "run/run_identity.h"
#include "ground/output.h"
#include "run/stdout_tap.h"
#include "tools/angles/angle_files.h"

namespace kelvor::angles {

AngleKeeper::AngleKeeper(std::string dir)
    : path_(inDir(dir, kCheckpointName)),
      interval_(checkpointSecondsFromEnvironment()),
      last_(std::chrono::steady_clock::now()) {
  tapStdout(&lines_);
}

AngleKeeper::~AngleKeeper() { tapStdout(nullptr); }

void AngleKeeper::started(const RunConfig& cfg, int seedOffset, const DataStore& store) {
  cp_.seedOffset = seedOffset;
  itime(cp_.time);
  cp_.generator = store.seed;
  cp_.settings = cfg.settings;
  cp_.proteinsHash = proteinsHash(store, cfg.listLines);
  store_ = &store;
  reportName_ = cfg.reportName;
}

void AngleKeeper::resumed(const Checkpoint& cp, const RunConfig& cfg) {
  cp_ = cp;
  dataHashed_ = true;
  reportName_ = cfg.reportName;
}

void AngleKeeper::epochEnd(const PhaseState& state, const Network& net) {
  const auto now = std::chrono::steady_clock::now();
  if (interval_ > 0.0 && std::chrono::duration<double>(now - last_).count() < interval_) return;
  last_ = now;
  try {
    if (!dataHashed_) {
      cp_.dataHash = dataHash(*store_);
      dataHashed_ = true;
    }
    cp_.stage = Stage::kFirst;
    cp_.phase = state;
    cp_.stdoutLines = lines_;
    const ReportPrefix report = reportPrefix(reportName_);
    cp_.reportLength = report.length;
    cp_.reportHash = report.hash;
    takeNetwork(cp_, net);
    replaceFiles({{path_, encodeCheckpoint(cp_)}});
  } catch (const FileError& e) {
    if (!warned_)
      std::fprintf(stderr, "kelvor-angles: warning: no checkpoint written (%s); the run goes on\n", e.what());
    warned_ = true;
  }
}

void AngleKeeper::remove() {
  // The checkpoint and what a replacement of it under way leaves beside it.
  for (const std::string& p : {path_ + ".commit", path_, path_ + ".part"}) {
    std::error_code ec;
    std::filesystem::remove(p, ec);
    if (ec) std::fprintf(stderr, "kelvor-angles: warning: %s is left (%s)\n", p.c_str(), ec.message().c_str());
  }
}

}  // namespace kelvor::angles
