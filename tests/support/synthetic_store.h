// A small data set of synthetic proteins for the network's tests: pseudo-random features, one of
// the three classes per residue, and the windows as the chain reader sets them.
#pragma once

#include <vector>

#include "dataset/store.h"

namespace kelvor::test {

// Appends one protein per entry of `lengths` (its residue count) to `s`; `seed` starts the
// generator, so the same arguments give the same bits.
void fillSyntheticStore(DataStore& s, const std::vector<int>& lengths, unsigned seed);

}  // namespace kelvor::test
