#include "run/progress.h"

#include <cstdio>
#include <unistd.h>

#include "ground/output.h"

namespace kelvor {

Progress::Progress(int residues) : active_(::isatty(2) == 1), residues_(residues) {}

void Progress::epoch(Stage stage, int epoch, int limit, double seconds) {
  if (!active_) return;
  const double rate = seconds > 0.0 ? residues_ / seconds : 0.0;
  std::fprintf(stderr, "\r\033[K%s  epoch %d/%d  %.0f residues/s  %.2f s/epoch",
               stage == Stage::kFirst ? "first stage" : "filter", epoch, limit, rate, seconds);
  std::fflush(stderr);
  noteProgressLine(true);
}

void Progress::done() { clearProgressLine(); }

}  // namespace kelvor
