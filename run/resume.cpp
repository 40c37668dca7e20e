#include "run/resume.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "config/defaults.h"
#include "config/environment.h"
#include "config/clock.h"
#include "network/engine.h"
#include "run/checkpoint.h"
#include "run/checkpoint_keeper.h"
#include "ground/errors.h"
#include "run/lock.h"
#include "ground/output.h"
#include "run/report_file.h"
#include "run/stdout_tap.h"
#include "run/run_identity.h"
#include "network/scores.h"
#include "run/outputs_check.h"
#include "run/stages.h"
#include "run/startup.h"
#include "run/weight_records.h"

namespace kelvor {

std::string resumeRefused(const std::string& why) { return "cannot resume: " + why + "; nothing was changed"; }

namespace {

// Lines to standard output go to `lines` only, while it lives.
class HeldStdout {
 public:
  explicit HeldStdout(std::vector<std::string>& lines) { tapStdout(&lines, true); }
  ~HeldStdout() { tapStdout(nullptr); }
  HeldStdout(const HeldStdout&) = delete;
  HeldStdout& operator=(const HeldStdout&) = delete;
};

}  // namespace

StartedRun startAgain(const RunFiles& files, const Checkpoint& cp, const std::function<void(DataStore&)>& loaded) {
  std::vector<std::string> lines;
  HeldStdout held(lines);
  setTimeOfDay(cp.time);
  StartedRun run;
  try {
    run = startRun(files, cp.seedOffset);
  } catch (const DataStop&) {
    throw ResumeRefusal(
        resumeRefused("the per-protein files no longer load: " + (lines.empty() ? std::string() : lines.back())));
  }
  if (loaded) loaded(*run.store);
  const RunConfig& cfg = run.cfg;
  if (std::string change = settingsChange(cp.settings, cfg.settings); !change.empty())
    throw ResumeRefusal(resumeRefused("in \"" + files.defaults + "\", " + change));
  if (proteinsHash(*run.store, cfg.listLines) != cp.proteinsHash)
    throw ResumeRefusal(resumeRefused("the protein list \"" + cfg.listName +
                                      "\" gives other proteins than when the checkpoint was taken"));
  if (run.store->seed != cp.generator)
    throw ResumeRefusal(resumeRefused("the random generator does not repeat the checkpoint's run"));
  if (dataHash(*run.store) != cp.dataHash)
    throw ResumeRefusal(resumeRefused("the per-protein files hold other data than when the checkpoint was taken"));
  if (lines.size() > cp.stdoutLines.size() || !std::equal(lines.begin(), lines.end(), cp.stdoutLines.begin()))
    throw ResumeRefusal(resumeRefused("the start of the run writes other lines than when the checkpoint was taken"));
  return run;
}

void checkReportPrefix(const Checkpoint& cp, const std::string& name) {
  ReportPrefix now;
  try {
    now = reportPrefix(name, cp.reportLength);
  } catch (const FileError& e) {
    throw ResumeRefusal(resumeRefused(std::string("the report file cannot be read (") + e.what() + ")"));
  }
  if (now.length < 0 || now.hash != cp.reportHash)
    throw ResumeRefusal(resumeRefused("the report file \"" + name + "\" is not the one the checkpoint's run wrote"));
}

bool wantsResume(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--resume") != 0) return false;
  if (argc > 2)
    throw ConfigError("--resume takes no other argument; the seed offset and settings come from the checkpoint");
  return true;
}

int resumeRun(const RunFiles& files, std::chrono::steady_clock::time_point started) {
  // Nothing is taken before there is a checkpoint, it is sound, and the directory matches it.
  const Checkpoint cp = readCheckpoint(files.checkpoint);
  if (cp.settings.epochLimit < 1)
    throw ResumeRefusal(resumeRefused("the checkpoint \"" + files.checkpoint +
                                      "\" is of no training run (epoch limit " +
                                      std::to_string(cp.settings.epochLimit) + ")"));
  StartedRun run = startAgain(files, cp);
  const RunConfig& cfg = run.cfg;
  checkReportPrefix(cp, cfg.reportName);
  const WeightFilesFound weights = checkWeightFiles(files, cp.weightFiles);
  if (!weights.refusal.empty()) throw ResumeRefusal(resumeRefused(weights.refusal));

  DirectoryLock lock("", files.lock);
  // Another run may have gone on between the checks and the lock: its checkpoint would differ.
  if (encodeCheckpoint(readCheckpoint(files.checkpoint)) != encodeCheckpoint(cp))
    throw ResumeRefusal(resumeRefused("the checkpoint changed while it was checked (another run used the directory)"));
  checkOutputsWritable(files, true);

  Network& net = *run.net;
  DataStore& store = *run.store;
  giveNetwork(cp, net);
  std::unique_ptr<Engine> engine = makeEngine(net, store, engineFromEnvironment());

  // From here on the working directory changes: a save that the stop cut off is made again (the
  // checkpoint holds the weights it saves), and the report goes on from the checkpoint.
  std::fprintf(
      stderr, "kelvor: resuming the %s after %s %d\n", cp.stage == Stage::kFirst ? "first stage" : "filter phase",
      cp.phase.stopped ? "its early stop in epoch" : "epoch", cp.phase.stopped ? cp.phase.epoch : cp.phase.epoch - 1);
  finishReplacing(files.firstStage);
  finishReplacing(files.filter);
  for (Stage s : weights.unfinishedSaves) replaceFiles(weightSetContents(files, s, net));
  CheckpointKeeper keeper(files);
  keeper.resumed(cp, cfg);
  ReportFile report;
  report.openAt(cfg.reportName, cp.reportLength);
  for (const auto& line : cp.stdoutLines) writeStdout(line);
  if (cp.stage == Stage::kFilter) {
    // The first stage's final pass with the kept weights, for the outputs the filter reads.
    initphi(store);
    engine->predictFirst(1, store.nta);
  }
  const SavedSets saved = runStages(*engine, net, store, report, cfg, keeper, RunPosition{cp.stage, cp.phase});
  return endRun(report, keeper, started, cfg, saved);
}

}  // namespace kelvor
