// The start-up of a training or prediction run, the same for a fresh run and for a resume:
// settings and protein list, every check of the configuration and of the files the run reads
// and writes in place, the network, the data set, the outputs' room and the empty-part warning.
//
// Another program that trains on other targets with the same settings and data (the angle
// network) calls startRun with its own file names, so that its report, weights, checkpoint and
// lock are its own:
//
//   RunFiles angles;
//   angles.report = "angles.valdav";
//   angles.checkpoint = "angles.checkpoint";
//   angles.lock = "angles.lock";
//   angles.firstStage = {"angles.77", "angles.78", "angles.79"};
//   angles.filter = {};
//   StartedRun run = startRun(angles, offset, takeHold);
#pragma once

#include <functional>
#include <memory>

#include "config/defaults.h"
#include "dataset/store.h"
#include "network/state.h"
#include "run/run_files.h"

namespace kelvor {

struct StartedRun {
  RunConfig cfg;                     // cfg.reportName is files.report
  std::unique_ptr<DataStore> store;  // the data set, loaded
  std::unique_ptr<Network> net;      // the drawn network, outputs sized to the data set
};

// Called once everything read so far has passed its checks, before the network is drawn (whose
// line "random seed = " is the first of standard output) and the data set is read. A fresh run
// takes its lock and opens its report here; a resume takes nothing before it has compared what
// start-up built with its checkpoint. The store holds the proteins and the parts' bounds, not yet
// their data.
using CheckedHook = std::function<void(const RunConfig&, const DataStore&)>;

// Runs the start-up in the working directory with `files`' names and the seed offset; the time
// of day is itime's (config/clock.h; a resume sets its checkpoint's first), and start-up writes
// the seed line that netinit's seed gives. ConfigError, FileError and DataStop (setio's stops,
// after its report lines) end it.
StartedRun startRun(const RunFiles& files, int seedOffset, const CheckedHook& checked = {});

}  // namespace kelvor
