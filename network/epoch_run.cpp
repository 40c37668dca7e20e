#include "network/epoch_run.h"

namespace kelvor {

void runEpoch(Engine& engine, Stage stage, const std::vector<EpochRange>& ranges) {
  for (const EpochRange& r : ranges) {
    if (stage == Stage::kFirst) {
      if (r.trained)
        engine.trainFirst(r.first, r.last);
      else
        engine.predictFirst(r.first, r.last);
    } else {
      if (r.trained)
        engine.trainFilter(r.first, r.last);
      else
        engine.predictFilter(r.first, r.last);
    }
  }
}

}  // namespace kelvor
