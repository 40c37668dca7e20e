#include "run/driver.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <unistd.h>

#include "config/defaults.h"
#include "config/environment.h"
#include "network/engine.h"
#include "ground/activity.h"
#include "ground/errors.h"
#include "ground/freeform_reader.h"
#include "ground/freeform_writer.h"
#include "run/lock.h"
#include "ground/output.h"
#include "run/report_file.h"
#include "run/checkpoint_keeper.h"
#include "run/resume.h"
#include "run/stages.h"
#include "run/outputs_check.h"
#include "run/startup.h"
#include "run/usage.h"

namespace kelvor {

int seedOffsetFromArgument(const char* argument) {
  if (argument == nullptr) return 7;
  std::string crandm(argument);
  if (crandm.size() > 120) crandm.resize(120);
  RecordReader in("command line", crandm);
  double value = 7.0;
  ReadResult r = in.read({Item::real(value)});
  if (!r.ok())
    throw UsageError("seed offset (command line) \"" + crandm + "\" is not a number" +
                     (r.status == ReadResult::kEndOfFile ? " (no value)" : "") +
                     "; allowed: a number such as 3, -2.5 or 1.5E1");
  const double rounded = value >= 0.0 ? value + 0.5 : value - 0.5;
  if (!(std::trunc(rounded) >= -2147483648.0 && std::trunc(rounded) <= 2147483647.0))
    throw UsageError("seed offset (command line) is " + crandm.substr(0, crandm.find_last_not_of(' ') + 1) +
                     "; allowed: -2147483648 to 2147483647");
  return static_cast<int>(rounded);
}

int kelvo_r(int argc, char** argv) {
  switch (infoRequest(argc, argv)) {
    case InfoRequest::kHelp:
      std::fputs(usageText().c_str(), stdout);
      return kExitOk;
    case InfoRequest::kVersion:
      std::fputs(versionText().c_str(), stdout);
      return kExitOk;
    case InfoRequest::kNone:
      break;
  }
  const auto started = std::chrono::steady_clock::now();
  const RunFiles files;
  if (wantsResume(argc, argv)) return resumeRun(files, started);
  CheckpointKeeper keeper(files);  // records standard output from its first line
  const int offset = seedOffsetFromArgument(argc > 1 ? argv[1] : nullptr);

  // Everything about the run is checked before the lock is taken or a file is written; every
  // output is known writable before the report is opened.
  std::optional<DirectoryLock> lock;
  ReportFile report;
  StartedRun run = startRun(files, offset, [&](const RunConfig& cfg, const DataStore&) {
    lock.emplace("", files.lock);
    checkOutputsWritable(files, cfg.epochLimit > 0);
    report.open(cfg.reportName);
  });
  const RunConfig& cfg = run.cfg;
  keeper.started(cfg, offset, *run.store);
  keeper.discardEarlier();  // useless once this run rewrites the report

  const std::string banner = Line().text("-------------------quandel-------------------").str();
  writeStdout(banner);
  report.write(banner);

  Activity a("building the networks' kernels");
  std::unique_ptr<Engine> engine = makeEngine(*run.net, *run.store, engineFromEnvironment());
  const SavedSets saved = runStages(*engine, *run.net, *run.store, report, cfg, keeper);
  return endRun(report, keeper, started, cfg, saved);
}

}  // namespace kelvor
