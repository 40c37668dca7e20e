#include "tools/angles/angle_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "config/environment.h"
#include "dataset/setio.h"
#include "network/epoch_run.h"
#include "run/outputs_check.h"
#include "run/resume.h"
#include "run/weight_records.h"
#include "network/scores.h"
#include "run/startup.h"
#include "ground/activity.h"
#include "ground/errors.h"
#include "ground/freeform_writer.h"
#include "ground/output.h"
#include "tools/angles/angle_data.h"
#include "tools/angles/angle_files.h"
#include "weightio/weight_files.h"

namespace kelvor::angles {
namespace {

template <typename Values>
bool allFinite(const Values& v) {
  for (double x : v)
    if (!std::isfinite(x)) return false;
  return true;
}

void writeBoth(ReportFile& report, const std::string& line) {
  writeStdout(line);
  report.write(line);
}

std::string fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

}  // namespace

namespace {

// The start-up's network, data set and settings become the run's, with the data set's angle
// targets in place of its states and the kernels built.
void adopt(AngleRun& run, StartedRun& started) {
  run.cfg = std::move(started.cfg);
  run.store = std::move(*started.store);
  run.net = std::move(*started.net);
  Activity a("building the networks' kernels");
  run.engine = makeEngine(run.net, run.store, engineFromEnvironment());
}

}  // namespace

void startAngleRun(AngleRun& run, const std::string& defaults, const std::string& dir, int offset) {
  run.dir = dir;
  run.defaults = defaults;
  RunFiles files = angleRunFiles(dir);
  files.defaults = defaults;
  // Every check of the trainer's start-up, then the angle network's own; only then the lock and
  // the report, once every output is known writable.
  StartedRun started = startRun(files, offset, [&](const RunConfig& cfg, const DataStore& store) {
    if (cfg.epochLimit > 0 && store.ntrain == store.ntrval)
      throw ConfigError(
          "the validation part of " + defaults + " is empty (" + std::to_string(store.nprot) +
          " proteins, test fraction " + fixed(cfg.settings.testFraction, 4) +
          "), so no epoch of the angle network could be kept; allowed: at least 10 proteins outside the test part");
    run.lock.emplace(dir, kLockName);
    checkOutputsWritable(files, cfg.epochLimit > 0);
    run.report.open(cfg.reportName);
  });
  makeAngleTargets(*started.store);
  adopt(run, started);
}

Checkpoint resumeAngleRun(AngleRun& run) {
  // Nothing is taken before the checkpoint is read and the directory found to match it.
  const RunFiles files = angleRunFiles(run.dir);
  run.defaults = files.defaults;
  const Checkpoint cp = readCheckpoint(files.checkpoint);
  if (cp.settings.epochLimit < 1)
    throw ResumeRefusal(resumeRefused("the checkpoint \"" + files.checkpoint +
                                      "\" is of no training run (epoch limit " +
                                      std::to_string(cp.settings.epochLimit) + ")"));
  StartedRun started = startAgain(files, cp, makeAngleTargets);
  checkReportPrefix(cp, started.cfg.reportName);
  const WeightFilesFound weights = checkWeightFiles(files, cp.weightFiles);
  if (!weights.refusal.empty()) throw ResumeRefusal(resumeRefused(weights.refusal));

  run.lock.emplace(run.dir, kLockName);
  // Another run may have gone on between the checks and the lock: its checkpoint would differ.
  if (encodeCheckpoint(readCheckpoint(files.checkpoint)) != encodeCheckpoint(cp))
    throw ResumeRefusal(resumeRefused("the checkpoint changed while it was checked (another run used the directory)"));
  checkOutputsWritable(files, true);

  giveNetwork(cp, *started.net);
  // From here on the directory changes: a save that the stop cut off is made again (the
  // checkpoint holds the weights it saves).
  finishReplacing(files.firstStage);
  for (Stage s : weights.unfinishedSaves) replaceFiles(weightSetContents(files, s, *started.net));
  adopt(run, started);
  std::fprintf(stderr, "kelvor-angles: resuming the training after %s %d\n",
               cp.phase.stopped ? "its early stop in epoch" : "epoch",
               cp.phase.stopped ? cp.phase.epoch : cp.phase.epoch - 1);
  return cp;
}

AngleResult trainAngles(AngleRun& run) {
  DataStore& store = run.store;
  Network& net = run.net;
  Engine& engine = *run.engine;
  const std::string stem = inDir(run.dir, kWeightStem);
  AngleResult result;
  const PhaseState from = run.from.value_or(PhaseState{1, std::numeric_limits<double>::infinity(), 0, 0, false});
  int epoch = from.epoch;
  result.bestEpoch = from.bestEpoch;
  if (run.cfg.epochLimit > 0 && !from.stopped) {
    double best = from.best;
    int stale = from.stale;
    for (; epoch <= run.cfg.epochLimit; ++epoch) {
      initphi(store);
      // Validation and test part: forward passes only.
      runEpoch(engine, Stage::kFirst, epochOrder(store, TestPart::kForwardOnly));
      const double tr = scaledErrors(store, net.outs, 1, store.ntatrain).mean();
      const double va = scaledErrors(store, net.outs, store.ntatrain + 1, store.ntatrval).mean();
      const double te = scaledErrors(store, net.outs, store.ntatrval + 1, store.nta).mean();
      engine.exportWeights();
      if (!(allFinite(net.wei1) && allFinite(net.wei2) && allFinite(net.pwei) && allFinite(net.outs)))
        throw TrainingError(
            "training stopped: the angle network's weights or outputs are not finite numbers after epoch " +
            std::to_string(epoch) + " (the learning rate, momentum or gain may be too large); " + stem +
            "77..79 hold the last finite set");
      run.report.write(formatEpochLine(epoch, tr, va, te));
      bool stop = false;
      if (va < best) {
        best = va;
        stale = 0;
        result.bestEpoch = epoch;
        // The checkpoint comes first and knows what the save leaves: a stop between the two
        // resumes from it and makes the save again.
        if (run.keeper)
          run.keeper->epochEnd(Stage::kFirst, PhaseState{epoch + 1, best, stale, result.bestEpoch, false}, net, true);
        writeFirstStageAs(net, stem);
      } else {
        if (++stale > 100) {
          writeStdout("angles: early stop in epoch " + std::to_string(epoch) + "; best validation error " +
                      fixed(best, 6) + " in epoch " + std::to_string(result.bestEpoch));
          stop = true;
        }
        if (run.keeper)
          run.keeper->epochEnd(Stage::kFirst, PhaseState{stop ? epoch : epoch + 1, best, stale, result.bestEpoch, stop},
                               net, false);
      }
      if (stop) break;
    }
  }
  result.epoch = epoch;

  readFirstStageAs(net, stem);
  engine.importWeights();
  initphi(store);
  engine.predictFirst(1, store.nta);
  const int first = store.ntatrval + 1, last = store.nta;
  result.test = scaledErrors(store, net.outs, first, last);
  const std::vector<double> maxima = areaMaxima(store);
  result.network = valueErrors(store, net.outs, maxima, first, last);
  result.letterMean = valueErrors(store, LetterMeans(store, 1, store.ntatrain).predict(store), maxima, first, last);

  run.report.write(Line().str());
  for (const std::string& line : closingLines(result)) writeBoth(run.report, line);
  return result;
}

std::vector<std::string> closingLines(const AngleResult& r) {
  const std::string head = "angles test part: ";
  const ValueErrors& n = r.network;
  const ValueErrors& m = r.letterMean;
  return {
      head + "residues " + std::to_string(n.residues) + ", epoch counter " + std::to_string(r.epoch) + ", epoch kept " +
          std::to_string(r.bestEpoch) + ", mean error " + fixed(r.test.mean(), 6) + " (encoded units)",
      head + "first angle MAE " + fixed(n.firstDegrees, 3) + " degrees; per-letter mean " + fixed(m.firstDegrees, 3) +
          " degrees",
      head + "second angle MAE " + fixed(n.secondDegrees, 3) + " degrees; per-letter mean " +
          fixed(m.secondDegrees, 3) + " degrees",
      head + "area MAE " + fixed(n.areaSquareAngstrom, 3) + " square angstrom; per-letter mean " +
          fixed(m.areaSquareAngstrom, 3) + " square angstrom",
      head + "area correlation " + fixed(n.areaCorrelation, 4) + "; per-letter mean " + fixed(m.areaCorrelation, 4),
  };
}

}  // namespace kelvor::angles
