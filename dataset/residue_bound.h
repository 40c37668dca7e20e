// An upper bound on the residues that setio will store: the lines of the selected proteins'
// DSSP-data files (a residue takes at least one line of it). Files are only looked at, never
// created; a missing or unreadable one counts nothing.
#pragma once

#include <string>

#include "dataset/store.h"

namespace kelvor {

long long residueBound(const DataStore& store, const std::string& dataRoot);

}  // namespace kelvor
