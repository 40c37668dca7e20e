#include "run/resume.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "config/defaults.h"
#include "dataset/setio.h"
#include "network/engine.h"
#include "network/netinit.h"
#include "run/checkpoint.h"
#include "run/checkpoint_keeper.h"
#include "run/text/errors.h"
#include "run/lock.h"
#include "run/text/output.h"
#include "run/run_identity.h"
#include "run/scores.h"
#include "run/stages.h"
#include "weightio/weight_files.h"

namespace kelvor {
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

// Start-up as the checkpoint's run made it: the settings, the proteins, the same random seed
// and initial weights, the data set. Its lines to standard output are collected in `lines`.
RunConfig startAgain(const Checkpoint& cp, DataStore& store, Network& net) {
  std::vector<std::string> lines;
  HeldStdout held(lines);
  RunConfig cfg = getdefs(store, net, "kelvor.in", cp.seedOffset);
  if (std::string change = settingsChange(cp.settings, cfg.settings); !change.empty())
    throw ResumeRefusal(refused("in \"kelvor.in\", " + change));
  if (proteinsHash(store, cfg.listLines) != cp.proteinsHash)
    throw ResumeRefusal(refused("the protein list \"" + cfg.settings.listName.substr(0, cfg.settings.listName.find_last_not_of(' ') + 1) +
                                "\" gives other proteins than when the checkpoint was taken"));
  setTimeOfDay(cp.time);
  netinit(net, store, cp.seedOffset);
  if (store.seed != cp.generator) throw ResumeRefusal(refused("the random generator does not repeat the checkpoint's run"));
  try {
    setio(store, defaultDataRoot());
  } catch (const DataStop&) {
    throw ResumeRefusal(refused("the per-protein files no longer load: " + (lines.empty() ? std::string() : lines.back())));
  }
  if (dataHash(store) != cp.dataHash)
    throw ResumeRefusal(refused("the per-protein files hold other data than when the checkpoint was taken"));
  if (lines.size() > cp.stdoutLines.size() || !std::equal(lines.begin(), lines.end(), cp.stdoutLines.begin()))
    throw ResumeRefusal(refused("the start of the run writes other lines than when the checkpoint was taken"));
  return cfg;
}

void checkReport(const Checkpoint& cp, const std::string& name) {
  ReportPrefix now;
  try {
    now = reportPrefix(name, cp.reportLength);
  } catch (const FileError& e) {
    throw ResumeRefusal(refused(std::string("the report file cannot be read (") + e.what() + ")"));
  }
  if (now.length < 0 || now.hash != cp.reportHash)
    throw ResumeRefusal(refused("the report file \"" + name + "\" is not the one the checkpoint's run wrote"));
}

// In the filter phase, the first-stage weight files must still hold the weights that the first
// stage kept: the first-stage outputs are rebuilt from them.
void checkFirstStageFiles(const Checkpoint& cp) {
  auto kept = std::make_unique<Network>();
  readwei(*kept, 0);
  auto sameBits = [](const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
  };
  bool same = sameBits(kept->wei1, cp.wei1) && sameBits(kept->wei2, cp.wei2);
  for (int m = 1; m <= 102; ++m)
    for (int c = 1; c <= 3; ++c) same = same && std::memcmp(&kept->pwei[pw(m, c)], &cp.pwei[pw(m, c)], sizeof(double)) == 0;
  if (!same)
    throw ResumeRefusal(refused("the first-stage weight files (fort.77, fort.78, fort.79) are not those the first stage kept"));
}

}  // namespace

bool wantsResume(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--resume") != 0) return false;
  if (argc > 2) throw ConfigError("--resume takes no other argument; the seed offset and settings come from the checkpoint");
  return true;
}

int resumeRun(std::chrono::steady_clock::time_point started) {
  DirectoryLock lock;
  const Checkpoint cp = readCheckpoint();
  auto store = std::make_unique<DataStore>();
  auto net = std::make_unique<Network>();
  const RunConfig cfg = startAgain(cp, *store, *net);
  checkReport(cp, cfg.reportName);
  if (cp.stage == Stage::kFilter) checkFirstStageFiles(cp);

  giveNetwork(cp, *net);
  net->outs.assign(static_cast<std::size_t>(store->nta) * 3, 0.0);
  std::unique_ptr<Engine> engine = makeEngine(*net, *store);

  // From here on the working directory changes: the report goes on from the checkpoint.
  std::fprintf(stderr, "kelvor: resuming the %s after %s %d\n", cp.stage == Stage::kFirst ? "first stage" : "filter phase",
               cp.phase.stopped ? "its early stop in epoch" : "epoch", cp.phase.stopped ? cp.phase.epoch : cp.phase.epoch - 1);
  CheckpointKeeper keeper;
  keeper.resumed(cp, cfg);
  ReportFile report;
  report.openAt(cfg.reportName, cp.reportLength);
  for (const auto& line : cp.stdoutLines) writeStdout(line);
  if (cp.stage == Stage::kFilter) {
    // The first stage's final pass with the kept weights, for the outputs the filter reads.
    initphi(*store);
    engine->predictFirst(1, store->nta);
  }
  const SavedSets saved = runStages(*engine, *net, *store, report, cfg, keeper, RunPosition{cp.stage, cp.phase});
  return endRun(report, keeper, started, cfg, saved);
}

}  // namespace kelvor
