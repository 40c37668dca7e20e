// The angle network's data set, made from the one setio fills: the same residues, windows and
// parts, with the three values it predicts taken out of its inputs and made its targets.
//
// Per residue: columns 28, 29 and 30 (area, first angle, second angle) move to the target
// columns 33, 34 and 35 and become 0 among the inputs; an undefined angle (0.0 in the prediction
// file) marks its output silent in column kSilentColumn, so that the output learns nothing from
// the residue and is left out of every error.
#pragma once

#include <vector>

#include "dataset/store.h"

namespace kelvor::angles {

// Rewrites the rows of residues 1..nta in place.
void makeAngleTargets(DataStore& store);

// Whether output c (0 area, 1 first angle, 2 second angle) of residue r has a target.
inline bool learns(const DataStore& store, int r, int c) {
  return !(static_cast<int>(store.fin(r, kSilentColumn)) >> c & 1);
}

// The surface-area maximum the encoder used for every residue (0 where it had none): a letter's
// own, or for a letter without one the maximum of the residue before it, as the encoder carries it.
std::vector<double> areaMaxima(const DataStore& store);

}  // namespace kelvor::angles
