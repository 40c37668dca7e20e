// Scores of a pass: clearing the accumulators and the three-state accuracy of a residue range.
#pragma once

#include "dataset/store.h"

namespace kelvor {

// Sets sscode and nsscode of residues 1..nta to zero.
void initphi(DataStore& store);

// Fraction of residues first..last whose sscode lies within 0.1 of the observed code
// (filin column 36); stored in misc field 4. An empty range gives not-a-number.
void calcerr(DataStore& store, int first, int last);

}  // namespace kelvor
