#include "run/driver.h"

#include <cmath>
#include <cstdio>
#include <unistd.h>

#include "config/defaults.h"
#include "dataset/setio.h"
#include "network/engine.h"
#include "network/netinit.h"
#include "run/errors.h"
#include "run/freeform_reader.h"
#include "run/freeform_writer.h"
#include "run/lock.h"
#include "run/output.h"
#include "run/checkpoint_keeper.h"
#include "run/resume.h"
#include "run/stages.h"

namespace kelvor {

int seedOffsetFromArgument(const char* argument) {
  if (argument == nullptr) return 7;
  std::string crandm(argument);
  if (crandm.size() > 120) crandm.resize(120);
  RecordReader in("command line", crandm);
  double value = 7.0;
  ReadResult r = in.read({Item::real(value)});
  if (!r.ok())
    throw ConfigError("seed offset (command line) \"" + crandm + "\" is not a number" +
                      (r.status == ReadResult::kEndOfFile ? " (no value)" : "") +
                      "; allowed: a number such as 3, -2.5 or 1.5E1");
  const double rounded = value >= 0.0 ? value + 0.5 : value - 0.5;
  if (!(std::trunc(rounded) >= -2147483648.0 && std::trunc(rounded) <= 2147483647.0))
    throw ConfigError("seed offset (command line) is " + crandm.substr(0, crandm.find_last_not_of(' ') + 1) +
                      "; allowed: -2147483648 to 2147483647");
  return static_cast<int>(rounded);
}

int kelvo_r(int argc, char** argv) {
  if (wantsResume(argc, argv)) return resumeRun();
  CheckpointKeeper keeper;  // records standard output from its first line
  const int offset = seedOffsetFromArgument(argc > 1 ? argv[1] : nullptr);

  DataStore store;
  Network net;
  RunConfig cfg = getdefs(store, net, "kelvor.in", offset);

  DirectoryLock lock;
  ReportFile report;
  report.open(cfg.reportName);

  netinit(net, store, offset);
  setio(store, defaultDataRoot());
  net.outs.assign(static_cast<std::size_t>(store.nta) * 3, 0.0);
  keeper.started(cfg, offset, store);
  keeper.discardEarlier();  // useless once this run rewrites the report

  const std::string banner = Line().text("-------------------quandel-------------------").str();
  writeStdout(banner);
  report.write(banner);

  std::unique_ptr<Engine> engine = makeEngine(net, store);
  runStages(*engine, net, store, report, cfg, keeper);

  report.close();
  flushStdout();
  keeper.completed();
  return kExitOk;
}

}  // namespace kelvor
