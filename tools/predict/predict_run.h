// One run of kelvor-predict: load the weight sets, read and predict the chains of the list in
// batches, write the per-chain files and, when asked, the score report.
#pragma once

#include "tools/predict/options.h"

namespace kelvor::predict {

// Returns the exit status. Errors are thrown: UsageError, FileError, InputError.
int runPredict(const Options& options);

}  // namespace kelvor::predict
