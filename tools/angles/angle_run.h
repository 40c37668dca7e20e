// One training run of the angle network: start-up from a defaults file, the epochs with the best
// weights kept, the final pass with them, and the test part's errors.
//
// The start-up is the trainer's own (startRun with angleRunFiles: every check of the settings,
// the proteins and the outputs, the lock and report only once those have passed), and so is a
// resume's (startAgain); only the data set's targets and the names of the files differ.
// Training differs from the trainer's first stage in one respect: the test part is never
// trained, so that its errors, and predictions made for it, come from a model that has not seen
// it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "config/defaults.h"
#include "dataset/store.h"
#include "network/engine.h"
#include "network/state.h"
#include "run/checkpoint.h"
#include "run/checkpoint_keeper.h"
#include "run/lock.h"
#include "run/schedule.h"
#include "run/report_file.h"
#include "tools/angles/angle_scores.h"

namespace kelvor::angles {

struct AngleRun {
  std::string dir;       // where the run's own files go ("": the working directory)
  std::string defaults;  // its defaults file
  DataStore store;
  Network net;
  RunConfig cfg;
  std::optional<DirectoryLock> lock;
  ReportFile report;
  std::unique_ptr<Engine> engine;
  CheckpointKeeper* keeper = nullptr;  // keeps the checkpoint, when set
  std::optional<PhaseState> from;      // where a resumed run goes on (none: epoch 1)
};

// The trainer's start-up with the angle run's files in `dir` and `defaults` as its defaults file
// (a relative list name is taken from the working directory): every check, then the angle lock
// of `dir` and its report, the network (seed offset `offset`), the data set from the build's
// data root with its angle targets, and the kernels. Throws ConfigError, FileError, BusyError or
// DataStop.
void startAngleRun(AngleRun& run, const std::string& defaults, const std::string& dir, int offset);

struct AngleResult {
  int epoch = 1;                    // the epoch counter after the epochs (as the trainer prints it)
  int bestEpoch = 0;                // the epoch whose weights were kept (0: weights loaded, none trained)
  ScaledErrors test;                // test part, encoded units
  ValueErrors network, letterMean;  // test part, in degrees and square angstrom
};

// Starts the run of run.dir's checkpoint again, up to the end of the epoch it was taken in:
// the checkpoint read as every input is (a regular file, limited in size, every field in range),
// the same start-up checked against it (ResumeRefusal, taking and changing nothing, when the
// directory no longer holds that run), then the lock and the network as the checkpoint holds it. The caller then
// opens the report at the checkpoint's length, writes its standard output again and trains
// from cp.phase.
Checkpoint resumeAngleRun(AngleRun& run);

// Trains (epoch limit > 0) or loads the weight files of `dir` (epoch limit 0 or below), runs the
// final pass, writes the closing lines to standard output and the report, and leaves the kept
// weights in run.net and every residue's outputs in run.net.outs.
AngleResult trainAngles(AngleRun& run);

// The closing lines (without line ends).
std::vector<std::string> closingLines(const AngleResult& r);

}  // namespace kelvor::angles
