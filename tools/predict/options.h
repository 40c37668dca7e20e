// The command line of kelvor-predict.
#pragma once

#include <string>
#include <vector>

#include "tools/predict/weight_set.h"

namespace kelvor::predict {

struct Options {
  std::vector<std::string> weightDirs;  // empty: the working directory alone
  std::string list = "proteins.list";
  std::string dataRoot;  // empty: the build's data root
  std::string outputDir = "predictions";
  bool scores = false;
  SettingsOverride settings;
  bool help = false;
  bool version = false;
  // Chains are predicted in batches of at least this many residues (the last one may be
  // smaller), so that a list of any length fits in memory. Not on the command line.
  int batchResidues = 200000;
};

// Parses argv[1..argc-1]; throws UsageError on an unknown option, a missing or bad value, or a
// stray argument. Options take their value as "--name value" or "--name=value".
Options parseOptions(int argc, const char* const* argv);

// The usage text, every option with its default.
std::string usageText();

}  // namespace kelvor::predict
