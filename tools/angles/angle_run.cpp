#include "tools/angles/angle_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "config/validate.h"
#include "dataset/setio.h"
#include "network/clock.h"
#include "network/netinit.h"
#include "run/run_identity.h"
#include "run/scores.h"
#include "ground/activity.h"
#include "ground/errors.h"
#include "ground/freeform_writer.h"
#include "tools/angles/angle_checkpoint.h"
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

void startAngleRun(AngleRun& run, const std::string& defaults, const std::string& dir, int offset) {
  run.dir = dir;
  run.defaults = defaults;
  {
    Activity a("reading the defaults file and the protein list");
    run.cfg = getdefs(run.store, run.net, defaults, offset);
  }
  run.cfg.reportName = inDir(dir, kReportName);
  const std::string root = defaultDataRoot();
  checkRun(run.cfg, run.store, defaults, root);
  std::vector<std::string> inputs{defaults, run.cfg.listName};
  for (int k = 0; k < run.store.nprot; ++k) {
    const ProteinPaths p = proteinPaths(root, run.store.pname[k]);
    inputs.insert(inputs.end(), {p.dssp, p.profile, p.prediction});
  }
  checkOutputsAreNotInputs({inDir(dir, std::string(kWeightStem) + "77"), inDir(dir, std::string(kWeightStem) + "78"),
                            inDir(dir, std::string(kWeightStem) + "79"), inDir(dir, kLockName)},
                           inputs);
  if (run.cfg.epochLimit > 0 && run.store.ntrain == run.store.ntrval)
    throw ConfigError("the validation part of " + defaults + " is empty (" + std::to_string(run.store.nprot) +
                      " proteins, test fraction " + fixed(run.cfg.settings.testFraction, 4) +
                      "), so no epoch of the angle network could be kept; allowed: at least 10 proteins outside the test part");

  run.lock.emplace(dir, kLockName);
  run.report.open(run.cfg.reportName);
  netinit(run.net, run.store, offset);
  {
    Activity a("reading the data set");
    setio(run.store, root);
    makeAngleTargets(run.store);
    run.net.outs.assign(static_cast<std::size_t>(run.store.nta) * 3, 0.0);
  }
  Activity a("building the networks' kernels");
  run.engine = makeEngine(run.net, run.store);
}

namespace {

std::string refused(const std::string& why) { return "cannot resume: " + why + "; nothing was changed"; }

// Lines to standard output go to `lines` only, while it lives.
class HeldStdout {
 public:
  explicit HeldStdout(std::vector<std::string>& lines) { tapStdout(&lines, true); }
  ~HeldStdout() { tapStdout(nullptr); }
  HeldStdout(const HeldStdout&) = delete;
  HeldStdout& operator=(const HeldStdout&) = delete;
};

}  // namespace

Checkpoint resumeAngleRun(AngleRun& run) {
  run.lock.emplace(run.dir, kLockName);
  const Checkpoint cp = readAngleCheckpoint(run.dir);
  const std::string defaults = inDir(run.dir, "kelvor.in");
  run.defaults = defaults;
  {
    // The start-up again, as the checkpoint's run made it: its lines are held, and must be the
    // first lines that run wrote.
    std::vector<std::string> lines;
    HeldStdout held(lines);
    run.cfg = getdefs(run.store, run.net, defaults, cp.seedOffset);
    run.cfg.reportName = inDir(run.dir, kReportName);
    if (std::string change = settingsChange(cp.settings, run.cfg.settings); !change.empty())
      throw ResumeRefusal(refused("in \"" + defaults + "\", " + change));
    if (proteinsHash(run.store, run.cfg.listLines) != cp.proteinsHash)
      throw ResumeRefusal(refused("the protein list gives other proteins than when the checkpoint was taken"));
    setTimeOfDay(cp.time);
    netinit(run.net, run.store, cp.seedOffset);
    if (run.store.seed != cp.generator) throw ResumeRefusal(refused("the random generator does not repeat the checkpoint's run"));
    try {
      setio(run.store, defaultDataRoot());
    } catch (const DataStop&) {
      throw ResumeRefusal(refused("the per-protein files no longer load"));
    }
    makeAngleTargets(run.store);
    if (dataHash(run.store) != cp.dataHash)
      throw ResumeRefusal(refused("the per-protein files hold other data than when the checkpoint was taken"));
    if (lines.size() > cp.stdoutLines.size() || !std::equal(lines.begin(), lines.end(), cp.stdoutLines.begin()))
      throw ResumeRefusal(refused("the start of the run writes other lines than when the checkpoint was taken"));
  }
  ReportPrefix now;
  try {
    now = reportPrefix(run.cfg.reportName, cp.reportLength);
  } catch (const FileError& e) {
    throw ResumeRefusal(refused(std::string("the report file cannot be read (") + e.what() + ")"));
  }
  if (now.length < 0 || now.hash != cp.reportHash)
    throw ResumeRefusal(refused("the report file \"" + run.cfg.reportName + "\" is not the one the checkpoint's run wrote"));

  giveNetwork(cp, run.net);
  run.net.outs.assign(static_cast<std::size_t>(run.store.nta) * 3, 0.0);
  run.engine = makeEngine(run.net, run.store);
  std::fprintf(stderr, "kelvor-angles: resuming the training after %s %d\n", cp.phase.stopped ? "its early stop in epoch" : "epoch",
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
      engine.trainFirst(1, store.ntatrain);
      // Validation and test part: forward passes only.
      engine.predictFirst(store.ntatrain + 1, store.nta);
      const double tr = scaledErrors(store, net.outs, 1, store.ntatrain).mean();
      const double va = scaledErrors(store, net.outs, store.ntatrain + 1, store.ntatrval).mean();
      const double te = scaledErrors(store, net.outs, store.ntatrval + 1, store.nta).mean();
      engine.exportWeights();
      if (!(allFinite(net.wei1) && allFinite(net.wei2) && allFinite(net.pwei) && allFinite(net.outs)))
        throw TrainingError("training stopped: the angle network's weights or outputs are not finite numbers after epoch " +
                            std::to_string(epoch) + " (the learning rate, momentum or gain may be too large); " + stem +
                            "77..79 hold the last finite set");
      run.report.write(formatEpochLine(epoch, tr, va, te));
      bool stop = false;
      if (va < best) {
        writeFirstStageAs(net, stem);
        best = va;
        stale = 0;
        result.bestEpoch = epoch;
      } else if (++stale > 100) {
        writeStdout("angles: early stop in epoch " + std::to_string(epoch) + "; best validation error " + fixed(best, 6) +
                    " in epoch " + std::to_string(result.bestEpoch));
        stop = true;
      }
      if (run.keeper) run.keeper->epochEnd(PhaseState{stop ? epoch : epoch + 1, best, stale, result.bestEpoch, stop}, net);
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
      head + "first angle MAE " + fixed(n.firstDegrees, 3) + " degrees; per-letter mean " + fixed(m.firstDegrees, 3) + " degrees",
      head + "second angle MAE " + fixed(n.secondDegrees, 3) + " degrees; per-letter mean " + fixed(m.secondDegrees, 3) +
          " degrees",
      head + "area MAE " + fixed(n.areaSquareAngstrom, 3) + " square angstrom; per-letter mean " +
          fixed(m.areaSquareAngstrom, 3) + " square angstrom",
      head + "area correlation " + fixed(n.areaCorrelation, 4) + "; per-letter mean " + fixed(m.areaCorrelation, 4),
  };
}

}  // namespace kelvor::angles
