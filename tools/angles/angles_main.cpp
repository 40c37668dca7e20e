#include "tools/angles/angles_main.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "config/validate.h"
#include "dataset/setio.h"
#include "run/closing_line.h"
#include "run/driver.h"
#include "ground/errors.h"
#include "ground/peak_memory.h"
#include "ground/output.h"
#include "run/checkpoint_keeper.h"
#include "tools/angles/angle_files.h"
#include "tools/angles/angle_run.h"
#include "tools/angles/angle_sets.h"
#include "tools/angles/options.h"
#include "tools/angles/out_of_fold.h"
#include "tools/angles/predict_chains.h"

namespace fs = std::filesystem;

namespace kelvor::angles {
namespace {

void closingLine(std::chrono::steady_clock::time_point started, const std::vector<std::string>& written) {
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
  std::string line = "kelvor-angles: done in " + std::to_string(static_cast<long>(took.count() * 10) / 10) + "." +
                     std::to_string(static_cast<long>(took.count() * 10) % 10) + " s, peak memory " +
                     std::to_string(peakMemoryKiB() / 1024) + " MiB";
  for (std::size_t i = 0; i < written.size(); ++i) line += (i ? ", " : "; wrote ") + written[i];
  std::fprintf(stderr, "%s\n", line.c_str());
}

void finish(AngleRun& run, CheckpointKeeper& keeper, std::chrono::steady_clock::time_point started) {
  const AngleResult r = trainAngles(run);
  run.report.close();
  flushStdout();
  keeper.completed();
  std::vector<std::string> written{kReportName};
  if (r.bestEpoch > 0)
    for (const char* n : {"77", "78", "79"}) written.push_back(std::string(kWeightStem) + n);
  closingLine(started, written);
}

int train(const Options& o, std::chrono::steady_clock::time_point started) {
  const int offset = seedOffsetFromArgument(o.seedArgument);
  AngleRun run;
  CheckpointKeeper keeper(angleRunFiles(""), "kelvor-angles");  // records standard output from its first line
  startAngleRun(run, "kelvor.in", "", offset);
  keeper.started(run.cfg, offset, run.store);
  keeper.discardEarlier();  // an earlier run's: useless once this run rewrites the report
  run.keeper = &keeper;
  finish(run, keeper, started);
  return kExitOk;
}

int resume(std::chrono::steady_clock::time_point started) {
  AngleRun run;
  const Checkpoint cp = resumeAngleRun(run);
  CheckpointKeeper keeper(angleRunFiles(""), "kelvor-angles");
  keeper.resumed(cp, run.cfg);
  run.keeper = &keeper;
  run.from = cp.phase;
  run.report.openAt(run.cfg.reportName, cp.reportLength);
  for (const std::string& line : cp.stdoutLines) writeStdout(line);
  finish(run, keeper, started);
  return kExitOk;
}

int predict(const Options& o, std::chrono::steady_clock::time_point started) {
  const std::vector<std::string> names = chainNames(o.list);
  std::vector<std::string> dirs = o.weightDirs;
  if (dirs.empty()) dirs.push_back(".");
  const std::string root =
      o.dataRoot.empty() ? defaultDataRoot() : (o.dataRoot.back() == '/' ? o.dataRoot : o.dataRoot + "/");
  // No file written may be one read (through links): the list, the profiles, the weight sets.
  std::vector<std::string> inputs{o.list}, outputs;
  for (const std::string& n : names) {
    inputs.push_back(proteinPaths(root, n).profile);
    outputs.push_back((fs::path(o.outputDir) / "kvqout" / (n + ".kvqout")).string());
  }
  for (const std::string& d : dirs)
    for (const char* f : {"kelvor.in", "angles.77", "angles.78", "angles.79"}) inputs.push_back(inDir(d, f));
  checkOutputsAreNotInputs(outputs, inputs);

  std::vector<AngleSet> sets(dirs.size());
  for (std::size_t i = 0; i < dirs.size(); ++i) loadAngleSet(sets[i], dirs[i]);
  const long long residues = predictChains(names, sets, root, o.outputDir, o.batchResidues);
  writeStdout("kelvor-angles: " + std::to_string(names.size()) + " chain" + (names.size() == 1 ? "" : "s") + ", " +
              std::to_string(residues) + " residues, " + std::to_string(sets.size()) + " weight set" +
              (sets.size() == 1 ? "" : "s") + "; files in " + (fs::path(o.outputDir) / "kvqout").string());
  flushStdout();
  closingLine(started, {});
  return kExitOk;
}

}  // namespace

int runAngles(int argc, char** argv) {
  const Options o = parseOptions(argc, argv);
  const auto started = std::chrono::steady_clock::now();
  switch (o.mode) {
    case Mode::kHelp:
      std::fputs(usageText().c_str(), stdout);
      return kExitOk;
    case Mode::kVersion:
      std::fputs(versionText().c_str(), stdout);
      return kExitOk;
    case Mode::kTrain:
      return train(o, started);
    case Mode::kPredict:
      return predict(o, started);
    case Mode::kOutOfFold: {
      const int status = runOutOfFold(o.folds, o.outputDir, seedOffsetFromArgument(o.seedArgument), o.batchResidues);
      flushStdout();
      closingLine(started, {});
      return status;
    }
    case Mode::kResume:
      return resume(started);
  }
  return kExitOk;
}

}  // namespace kelvor::angles
