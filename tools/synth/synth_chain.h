// One synthetic chain: residues in runs of helix, strand and coil, letters drawn with each
// class's preferences, a profile that favours the residue's own letter, and angles and surface
// areas typical of the class.
#pragma once

#include <string>

#include "tools/synth/synth_random.h"

namespace kelvor::synth {

// The chain's three files as kelvor reads them (dssp_data/N, new_prf/N.mat, kvqout/N.kvqout).
struct ChainTexts {
  std::string dssp, profile, prediction;
};

// Appends the `length` residues of a new chain (with the headers of the profile and prediction
// files) to `out`, which is cleared first.
void makeChain(Random& random, int length, ChainTexts& out);

}  // namespace kelvor::synth
