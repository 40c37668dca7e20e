// kelvor-angles --out-of-fold K: K angle networks over K folds of the run directory's list, and
// a prediction file for every chain from models that never trained on it.
#pragma once

#include <string>

#include "config/defaults.h"

namespace kelvor::angles {

// The defaults file of fold k: `s` with the fold number and the test fraction replaced, every
// real written so that it reads back as the same double.
std::string foldDefaultsText(const Settings& s, int fold, double fraction);

// Runs in the working directory (its kelvor.in, list and the build's data root): trains fold k
// in outDir/fold-k for k = 1..folds over the first n chains of the list (n as kelvor takes it),
// writes outDir/kvqout/N.kvqout for every chain of the list (those past n, in no fold's data set,
// predicted by all folds) and outDir/folds.tsv (list line, chain, how it was predicted, the folds
// used). Returns the exit status.
int runOutOfFold(int folds, const std::string& outDir, int seedOffset, int batchResidues);

}  // namespace kelvor::angles
