// The one mapping between the Network's arrays and the fast engine's panels. Set-up, importWeights
// and exportWeights all move values through it, each choosing which parts it moves.
#pragma once

#include "network/fast/layout.h"
#include "network/state.h"

namespace kelvor::fast {

enum Parts : unsigned {
  kWeights = 1,  // wei1, wei2, pwei columns 1..kOutputs; fwei1, fwei2
  kChanges = 2,  // owei1, owei2, pwei's other columns; ofwei1, ofwei2
  kFactors = 4,  // dcayin, dcayout, the band of dcayhid; fdcayin, fdcayout (into the panels only)
};

// Writes the parts into every slice of the layout (both copies of wei2 where it keeps two).
// With kFactors it throws std::logic_error when dcayhid is not a function of |m - k| alone.
void toPanels(const Network& net, FirstLayout& L, unsigned parts);
void toPanels(const Network& net, FilterLayout& F, unsigned parts);
// Reads weights and previous changes back (wei2 from copy A, the output layer from slice 0).
void fromPanels(const FirstLayout& L, Network& net, unsigned parts);
void fromPanels(const FilterLayout& F, Network& net, unsigned parts);

}  // namespace kelvor::fast
