// Which of K folds may predict each chain of a list: the trainer's folds with test fraction 1/K,
// fold k testing its block of list lines, its validation part picking the epoch it keeps, and
// its training part, the only lines it learns from.
//
// With n chains the blocks are round(n/K) lines ending at round(k*n/K): neighbouring blocks can
// share a line, and a line can fall between two blocks. A line is predicted by the folds whose
// test block holds it (averaged when there are two); a line in no block by the folds whose
// validation part holds it; a line in neither cannot be predicted by a model that did not train
// on it, and the plan says so.
#pragma once

#include <string>
#include <vector>

namespace kelvor::angles {

enum class FoldRole { kTraining, kValidation, kTest };

struct FoldPlan {
  int chains = 0, folds = 0;
  double fraction = 0.0;  // 1.0 / folds
  int test = 0;           // lines in each test block
  int validation = 0;     // lines in each validation part
  // role[k-1][j-1]: the part of fold k that list line j is in.
  std::vector<std::vector<FoldRole>> role;
  // predictors[j-1]: the folds that predict line j (empty for an uncovered line).
  std::vector<std::vector<int>> predictors;
  std::vector<int> uncovered;       // lines no fold can predict
  std::vector<int> fromValidation;  // lines predicted by folds whose validation part holds them
};

// The plan for `chains` list lines and `folds` folds. Throws UsageError (the K asked for) when a
// fold's block does not lie inside the list or its validation part is empty.
FoldPlan planFolds(int chains, int folds);

// Fold counts from 2 to `most` whose plan leaves no line uncovered.
std::vector<int> coveringFoldCounts(int chains, int most);

}  // namespace kelvor::angles
