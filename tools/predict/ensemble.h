// Runs one or more weight sets over the residues of a store, as the trainer's final pass runs
// a single one, and averages their outputs.
//
// Each weight set runs its own first stage over every residue and then its own filter on its
// own first-stage outputs (the filter was trained on those). The outputs of the sets are then
// averaged output by output, for each stage: the sum over the sets in the order given, divided
// by their number. Classes are decided on the averaged outputs by the trainer's own rule.
#pragma once

#include <vector>

#include "dataset/store.h"
#include "tools/predict/weight_set.h"

namespace kelvor::predict {

struct Outputs {
  // outputs (n-1)*3 + c for residue n = 1..nta and class c = 0 (E), 1 (C), 2 (H), in -1..1.
  std::vector<double> first, filter;
};

// Runs every set over residues 1..nta of the store.
Outputs predictAll(std::vector<WeightSet>& sets, DataStore& store);

// The class (0 E, 1 C, 2 H) that the trainer scores for three outputs: the largest wins, H wins
// every tie it is in, E wins a tie with C.
int decide(const double* outputs);

}  // namespace kelvor::predict
