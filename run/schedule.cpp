#include "run/schedule.h"

#include <chrono>

#include "run/freeform_writer.h"
#include "run/scores.h"
#include "weightio/weight_files.h"

namespace kelvor {
namespace {

void train(Stage s, Engine& e, int first, int last) {
  if (s == Stage::kFirst) e.trainFirst(first, last);
  else e.trainFilter(first, last);
}

void predict(Stage s, Engine& e, int first, int last) {
  if (s == Stage::kFirst) e.predictFirst(first, last);
  else e.predictFilter(first, last);
}

void save(Stage s, Engine& e, Network& net) {
  e.exportWeights();
  if (s == Stage::kFirst) outwei(net, 0);
  else outweif(net, 0);
}

void load(Stage s, Engine& e, Network& net) {
  if (s == Stage::kFirst) readwei(net, 0);
  else readweif(net, 0);
  e.importWeights();
}

double score(DataStore& store, int first, int last) {
  calcerr(store, first, last);
  return store.score();
}

}  // namespace

PhaseResult runPhase(Stage stage, Engine& engine, Network& net, DataStore& store, ReportFile& report,
                     int epochLimit, int requested, const EpochHook& hook, const PhaseState& from,
                     const EpochEndHook& epochEnd) {
  PhaseResult result;
  int epoch = from.epoch;
  result.bestEpoch = from.bestEpoch;
  if (epochLimit > 0 && !from.stopped) {
    double best = from.best;
    int stale = from.stale;
    for (; epoch <= epochLimit; ++epoch) {
      const auto start = std::chrono::steady_clock::now();
      initphi(store);
      train(stage, engine, 1, store.ntatrain);
      predict(stage, engine, store.ntatrain + 1, store.ntatrval);
      // The test part is trained too; only the validation part goes untrained.
      train(stage, engine, store.ntatrval + 1, store.nta);
      const double tr = score(store, 1, store.ntatrain);
      const double va = score(store, store.ntatrain + 1, store.ntatrval);
      const double te = score(store, store.ntatrval + 1, store.nta);
      report.write(formatEpochLine(epoch, tr, va, te));
      bool stop = false;
      if (va > best) {
        save(stage, engine, net);
        best = va;
        stale = 0;
        result.bestEpoch = epoch;
      } else if (++stale > 100) {
        writeStdout(Line().integer(epoch).integer(requested).real(best).str());
        stop = true;
      }
      if (hook) {
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        hook(stage, epoch, epochLimit, took.count());
      }
      if (epochEnd) epochEnd(stage, PhaseState{stop ? epoch : epoch + 1, best, stale, result.bestEpoch, stop});
      if (stop) break;
    }
  }
  result.epoch = epoch;

  load(stage, engine, net);
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
