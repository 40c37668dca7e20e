// Runs the ranges of an epoch through one of the two networks.
#pragma once

#include <vector>

#include "dataset/epoch_order.h"
#include "network/engine.h"

namespace kelvor {

// The ranges in order, through the first stage or the filter (`stage`): trained ranges with a
// training step after every residue's forward pass, the others forward only.
void runEpoch(Engine& engine, Stage stage, const std::vector<EpochRange>& ranges);

}  // namespace kelvor
