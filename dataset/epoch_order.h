// The order of an epoch: the training part, the validation part and the test part of the data
// set, each run through a network as one range of residues, trained or forward only.
#pragma once

#include <vector>

#include "dataset/store.h"

namespace kelvor {

// Residues first..last of an epoch (none when first > last), trained or run forward only.
struct EpochRange {
  int first = 1;
  int last = 0;
  bool trained = false;
};

// Whether an epoch trains the test part (kelvor) or only runs it forward (the angle network,
// whose test errors must come from a model that has not seen the test part).
enum class TestPart { kTrained, kForwardOnly };

// The ranges of one epoch, in order: the training part, trained; the validation part, forward
// only; the test part as `test` says. Empty parts keep their range. A forward-only test part
// joins the validation part in one range: both run forward, one residue after another.
std::vector<EpochRange> epochOrder(const DataStore& store, TestPart test);

}  // namespace kelvor
