// Predicts chains from their profiles with one or more angle networks and writes their
// prediction files.
#pragma once

#include <string>
#include <vector>

#include "dataset/store.h"
#include "tools/angles/angle_sets.h"

namespace kelvor::angles {

// Outputs of residues 1..nta of `store` (three per residue), each set's outputs summed in the
// order given and divided by the number of sets, output by output.
std::vector<double> averagedOutputs(std::vector<AngleSet>& sets, DataStore& store);

// Writes outDir/kvqout/N.kvqout for every chain named, read from root/new_prf/N.mat alone, in
// batches of about `batchResidues` residues. Returns the number of residues written. A chain
// without residues gets a file with its header line only, and a warning on standard error.
long long predictChains(const std::vector<std::string>& names, std::vector<AngleSet>& sets, const std::string& root,
                        const std::string& outDir, int batchResidues);

// The list's chain names, trailing blanks removed; refuses names that would leave the output
// directory ("/" or "..") with a FileError naming the list and line.
std::vector<std::string> chainNames(const std::string& list);

}  // namespace kelvor::angles
