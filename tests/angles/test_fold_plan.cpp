// The out-of-fold plan: every chain predicted only by folds that did not train on it, the
// rounding of the blocks handled (lines shared by two blocks, lines in none), and fold counts
// that cannot be planned refused.
#include <gtest/gtest.h>

#include <algorithm>

#include "config/defaults.h"
#include "config/protein_list.h"
#include "ground/errors.h"
#include "tools/angles/fold_plan.h"

namespace kelvor::angles {
namespace {

// The training part of fold k, computed afresh from the trainer's own order.
std::vector<bool> trainingLines(int n, int folds, int k) {
  const PartSizes p = partSizes(n, 1.0 / folds);
  std::vector<int> order(n, 0);
  plst(p.nprot, p.ntrval, p.test, k, 1.0 / folds, order);
  std::vector<bool> training(n, false);
  for (int pos = 1; pos <= p.ntrain; ++pos) training[order[pos - 1] - 1] = true;
  return training;
}

TEST(FoldPlan, NoChainIsEverPredictedByAFoldThatTrainedOnIt) {
  int plans = 0, uncovered = 0, shared = 0;
  for (int n = 10; n <= 260; ++n)
    for (int folds = 2; folds <= 9; ++folds) {
      FoldPlan p;
      try {
        p = planFolds(n, folds);
      } catch (const ConfigError&) {
        continue;
      }
      ++plans;
      uncovered += static_cast<int>(p.uncovered.size());
      for (int k = 1; k <= folds; ++k) {
        const std::vector<bool> training = trainingLines(n, folds, k);
        for (int j = 1; j <= n; ++j) {
          const std::vector<int>& by = p.predictors[j - 1];
          if (std::find(by.begin(), by.end(), k) != by.end()) {
            EXPECT_FALSE(training[j - 1]) << n << " " << folds << " line " << j;
          }
          EXPECT_EQ(training[j - 1], p.role[k - 1][j - 1] == FoldRole::kTraining);
        }
      }
      for (int j = 1; j <= n; ++j) {
        shared += p.predictors[j - 1].size() > 1;
        const bool uncovered = std::find(p.uncovered.begin(), p.uncovered.end(), j) != p.uncovered.end();
        EXPECT_EQ(p.predictors[j - 1].empty(), uncovered);
      }
    }
  EXPECT_GT(plans, 1500);
  EXPECT_GT(uncovered, 0);  // lines between two blocks: the plan names them
  EXPECT_GT(shared, 0);
}

TEST(FoldPlan, TheExampleSetsRoundingSharesTwoLinesAndALineCanBeLeftOut) {
  // 213 chains, 5 folds: blocks of 43 ending at 43, 85, 128, 170, 213.
  const FoldPlan p = planFolds(213, 5);
  EXPECT_EQ(p.test, 43);
  EXPECT_EQ(p.predictors[43 - 1], (std::vector<int>{1, 2}));
  EXPECT_EQ(p.predictors[128 - 1], (std::vector<int>{3, 4}));
  EXPECT_EQ(p.predictors[1 - 1], (std::vector<int>{1}));
  EXPECT_EQ(p.predictors[213 - 1], (std::vector<int>{5}));
  EXPECT_TRUE(p.uncovered.empty());
  EXPECT_TRUE(p.fromValidation.empty());
  // 211 chains: blocks of 42 ending at 42, 84, 127, 169, 211 leave line 85 in none, and no
  // validation part holds it.
  const FoldPlan q = planFolds(211, 5);
  EXPECT_EQ(q.uncovered, (std::vector<int>{85}));
  const std::vector<int> ks = coveringFoldCounts(211, 10);
  EXPECT_EQ(std::find(ks.begin(), ks.end(), 5), ks.end());
  EXPECT_FALSE(ks.empty());
  for (int k : ks) EXPECT_TRUE(planFolds(211, k).uncovered.empty());
}

TEST(FoldPlan, FoldCountsWithEmptyValidationPartsAreRefused) {
  EXPECT_THROW(planFolds(12, 2), ConfigError);  // 6 outside a block: no validation protein
  EXPECT_NO_THROW(planFolds(40, 2));
}

}  // namespace
}  // namespace kelvor::angles
