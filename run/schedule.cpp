#include "run/schedule.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "ground/errors.h"
#include "ground/freeform_writer.h"
#include "ground/output.h"
#include "network/epoch_run.h"
#include "network/scores.h"
#include "weightio/weight_files.h"

namespace kelvor {
namespace {

void predict(Stage s, Engine& e, int first, int last) {
  if (s == Stage::kFirst)
    e.predictFirst(first, last);
  else
    e.predictFilter(first, last);
}

// The Network holds the epoch's weights already: checkFinite exported them.
void save(Stage s, Network& net) {
  if (s == Stage::kFirst)
    outwei(net, 0);
  else
    outweif(net, 0);
}

void load(Stage s, Engine& e, Network& net) {
  if (s == Stage::kFirst)
    readwei(net, 0);
  else
    readweif(net, 0);
  e.importWeights();
}

const char* phaseName(Stage s) { return s == Stage::kFirst ? "first stage" : "filter"; }

template <typename Values>
bool allFinite(const Values& v) {
  for (double x : v)
    if (!std::isfinite(x)) return false;
  return true;
}

// Brings the engine's weights and previous changes into the Network at the end of an epoch (the
// save and the checkpoint of the epoch take them from there), and stops the run when the phase's
// weights or outputs are no longer finite numbers: nothing after that could be saved, and the
// weight files in place keep the last finite set.
void checkFinite(Stage s, Engine& e, Network& net, int epoch) {
  e.exportWeights();
  const bool finite = s == Stage::kFirst
                          ? allFinite(net.wei1) && allFinite(net.wei2) && allFinite(net.pwei) && allFinite(net.outs)
                          : allFinite(net.fwei1) && allFinite(net.fwei2) && allFinite(net.fout);
  if (!finite)
    throw TrainingError(
        std::string("training stopped: the ") + phaseName(s) +
        " phase's weights or outputs are not finite numbers after epoch " + std::to_string(epoch) +
        " (the learning rate, momentum or gain may be too large); the weight files in place hold the last finite set");
}

// What the final pass's missing weight files mean when no epoch could be kept.
void load(Stage s, Engine& e, Network& net, bool noEpochKept) {
  try {
    load(s, e, net);
  } catch (const FileError& err) {
    if (!noEpochKept) throw;
    throw FileError(
        err.file(), err.line(),
        err.reason() + " (no epoch of the " + phaseName(s) + " phase was kept: the validation part is empty)");
  }
}

double score(DataStore& store, int first, int last) {
  calcerr(store, first, last);
  return store.score();
}

}  // namespace

PhaseResult runPhase(Stage stage, Engine& engine, Network& net, DataStore& store, ReportFile& report, int epochLimit,
                     int requested, const EpochHook& hook, const PhaseState& from, const EpochEndHook& epochEnd) {
  PhaseResult result;
  int epoch = from.epoch;
  result.bestEpoch = from.bestEpoch;
  const bool noValidation = store.ntatrain == store.ntatrval;
  if (epochLimit > 0 && noValidation && !from.stopped)
    std::fprintf(stderr, "kelvor: warning: %s phase: the validation part is empty, so no epoch can be kept\n",
                 phaseName(stage));
  if (epochLimit > 0 && !from.stopped) {
    double best = from.best;
    int stale = from.stale;
    for (; epoch <= epochLimit; ++epoch) {
      const auto start = std::chrono::steady_clock::now();
      initphi(store);
      // The test part is trained too; only the validation part goes untrained.
      runEpoch(engine, stage, epochOrder(store, TestPart::kTrained));
      const double tr = score(store, 1, store.ntatrain);
      const double va = score(store, store.ntatrain + 1, store.ntatrval);
      const double te = score(store, store.ntatrval + 1, store.nta);
      checkFinite(stage, engine, net, epoch);
      report.write(formatEpochLine(epoch, tr, va, te));
      bool stop = false;
      if (va > best) {
        best = va;
        stale = 0;
        result.bestEpoch = epoch;
        // The checkpoint comes first and knows what the save leaves: a stop between the two
        // resumes from it and makes the save again.
        if (epochEnd) epochEnd(stage, PhaseState{epoch + 1, best, stale, result.bestEpoch, false}, true);
        save(stage, net);
      } else {
        if (++stale > 100) {
          writeStdout(Line().integer(epoch).integer(requested).real(best).str());
          stop = true;
        }
        if (epochEnd) epochEnd(stage, PhaseState{stop ? epoch : epoch + 1, best, stale, result.bestEpoch, stop}, false);
      }
      if (hook) {
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        hook(stage, epoch, epochLimit, took.count());
      }
      if (stop) break;
    }
  }
  result.epoch = epoch;

  load(stage, engine, net, epochLimit > 0 && noValidation && result.bestEpoch == 0);
  initphi(store);
  predict(stage, engine, 1, store.nta);
  result.testScore = score(store, store.ntatrval + 1, store.nta);

  writeStdout(Line().text("Q10P:").real(result.testScore).str());
  report.write(Line().str());
  report.write(Line().text("#Cross Validation").str());
  report.write(Line().text("#----------------").str());
  report.write(Line().integer(result.epoch).real(result.testScore).str());
  report.write(Line().str());
  if (stage == Stage::kFirst) {
    report.write(Line().text("#After filter").str());
    report.write(Line().text("#------------").str());
    writeStdout(Line().text("#After filter").str());
    writeStdout(Line().text("#------------").str());
  }
  return result;
}

}  // namespace kelvor
