// The files of one kind of training run in its working directory. kelvor's are the defaults; a
// program that trains on other targets with the same start-up (the angle network) gives its own
// names, so that both kinds of run can share a directory without taking each other's files.
#pragma once

#include <string>
#include <vector>

namespace kelvor {

struct RunFiles {
  std::string defaults = "kelvor.in";            // settings, read
  std::string report = "kelvor.valdav";          // the report, written from its start
  std::string checkpoint = "kelvor.checkpoint";  // where a training run can be resumed from
  std::string lock = "kelvor.lock";              // one run of this kind per directory
  // The weight files of each phase, replaced as a set, in the order of their formats: the
  // first stage's wei1, wei2 and pwei files, the filter's fwei1 and fwei2 files. A run without
  // a filter phase names no filter files.
  std::vector<std::string> firstStage = {"fort.77", "fort.78", "fort.79"};
  std::vector<std::string> filter = {"fort.87", "fort.88"};
};

}  // namespace kelvor
