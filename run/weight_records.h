// The weight files as a checkpoint records them, and the check of a resume against that record.
#pragma once

#include <optional>
#include <vector>

#include "network/state.h"
#include "run/checkpoint.h"
#include "run/run_files.h"
#include "run/schedule.h"

namespace kelvor {

// The weight files' contents in the formats of their set: first stage {wei1, wei2, pwei} or
// filter {fwei1, fwei2}, paired with the names `files` gives them.
std::vector<std::pair<std::string, std::string>> weightSetContents(const RunFiles& files, Stage stage,
                                                                   const Network& net);

// What every weight file of both phases holds now (as the readers take it: a set stopped among
// its renames counts with its temporaries) and, for the phase `saving` when given, what its save
// from `net` will leave.
std::vector<WeightFileRecord> weightFileRecords(const RunFiles& files, std::optional<Stage> saving, const Network& net);

// What a resume finds in the weight files against its checkpoint's record.
struct WeightFilesFound {
  std::string refusal;                 // why the resume cannot go on ("" when it can)
  std::vector<Stage> unfinishedSaves;  // sets still as they were before the save that followed
                                       // the checkpoint: the resume makes that save again
};
WeightFilesFound checkWeightFiles(const RunFiles& files, const std::vector<WeightFileRecord>& recorded);

}  // namespace kelvor
