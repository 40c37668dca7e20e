// Progress of a long run on standard error, one line rewritten in place, only when standard
// error is a terminal. The line is wiped before any standard-output line and at the end of a phase.
#pragma once

#include "run/schedule.h"

namespace kelvor {

class Progress {
 public:
  explicit Progress(int residues);
  void epoch(Stage stage, int epoch, int limit, double seconds);
  void done();  // wipes the line at the end of a phase

 private:
  bool active_ = false;
  int residues_ = 0;
};

}  // namespace kelvor
