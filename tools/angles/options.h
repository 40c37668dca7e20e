// The command line of kelvor-angles.
#pragma once

#include <string>
#include <vector>

namespace kelvor::angles {

enum class Mode { kTrain, kOutOfFold, kPredict, kResume, kHelp, kVersion };

struct Options {
  Mode mode = Mode::kTrain;
  const char* seedArgument = nullptr;   // training: the seed offset as given (none: 7)
  int folds = 0;                        // --out-of-fold K
  std::vector<std::string> weightDirs;  // --predict: empty means the working directory
  std::string list = "proteins.list";
  std::string dataRoot;        // empty: the build's data root
  std::string outputDir;       // empty: the mode's default
  int batchResidues = 200000;  // --predict reads chains in batches of about this many residues
};

// Parses argv[1..argc-1]; throws UsageError naming the option on a bad command line. Options
// take their value as "--name value" or "--name=value".
Options parseOptions(int argc, const char* const* argv);

std::string usageText();
std::string versionText();

}  // namespace kelvor::angles
