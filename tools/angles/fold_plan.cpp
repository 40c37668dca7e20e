#include "tools/angles/fold_plan.h"

#include "config/defaults.h"
#include "config/protein_list.h"
#include "ground/errors.h"

namespace kelvor::angles {

FoldPlan planFolds(int chains, int folds) {
  FoldPlan p;
  p.chains = chains;
  p.folds = folds;
  p.fraction = 1.0 / folds;
  const PartSizes sizes = partSizes(chains, p.fraction);
  p.test = sizes.test;
  p.validation = sizes.ntrval - sizes.ntrain;
  if (p.validation < 1)
    throw UsageError("--out-of-fold " + std::to_string(folds) + ": with " + std::to_string(chains) +
                     " proteins each fold's validation part is empty (" + std::to_string(sizes.ntrval) +
                     " proteins outside a test block; at least 10 are needed); allowed: fewer folds");
  p.role.assign(folds, std::vector<FoldRole>(chains, FoldRole::kTraining));
  p.predictors.assign(chains, {});
  for (int k = 1; k <= folds; ++k) {
    const long long hi = blockTop(k, p.fraction, chains);
    if (!(p.test <= hi && hi <= chains))
      throw UsageError("--out-of-fold " + std::to_string(folds) + ": the test block of fold " + std::to_string(k) +
                       " (list lines " + std::to_string(hi - p.test + 1) + " to " + std::to_string(hi) +
                       ") does not lie inside the list of " + std::to_string(chains) + " proteins");
    std::vector<int> order(chains, 0);
    plst(sizes.nprot, sizes.ntrval, sizes.test, k, p.fraction, order);
    for (int pos = sizes.ntrain + 1; pos <= chains; ++pos)
      p.role[k - 1][order[pos - 1] - 1] = pos <= sizes.ntrval ? FoldRole::kValidation : FoldRole::kTest;
  }
  for (int j = 1; j <= chains; ++j) {
    for (int k = 1; k <= folds; ++k)
      if (p.role[k - 1][j - 1] == FoldRole::kTest) p.predictors[j - 1].push_back(k);
    if (!p.predictors[j - 1].empty()) continue;
    for (int k = 1; k <= folds; ++k)
      if (p.role[k - 1][j - 1] == FoldRole::kValidation) p.predictors[j - 1].push_back(k);
    if (p.predictors[j - 1].empty())
      p.uncovered.push_back(j);
    else
      p.fromValidation.push_back(j);
  }
  return p;
}

std::vector<int> coveringFoldCounts(int chains, int most) {
  std::vector<int> ks;
  for (int k = 2; k <= most; ++k) {
    try {
      if (planFolds(chains, k).uncovered.empty()) ks.push_back(k);
    } catch (const ConfigError&) {
    }
  }
  return ks;
}

}  // namespace kelvor::angles
