// kelvor-predict: per-residue secondary-structure predictions from trained weight sets.
#include <cstdio>

#include "ground/errors.h"
#include "ground/program_main.h"
#include "tools/predict/options.h"
#include "tools/predict/predict_run.h"
#include "tools/predict/writers.h"

int main(int argc, char** argv) {
  using namespace kelvor;
  return runProgram({"kelvor-predict", tryHelpHint("kelvor-predict")}, argc, argv, [](int argc, char** argv) -> int {
    const predict::Options options = predict::parseOptions(argc, argv);
    if (options.help) {
      std::fputs(predict::usageText().c_str(), stdout);
      return kExitOk;
    }
    if (options.version) {
      std::printf("kelvor-predict %s\n", predict::toolVersion().c_str());
      return kExitOk;
    }
    return predict::runPredict(options);
  });
}
