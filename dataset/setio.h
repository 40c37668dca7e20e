// Assembly of the data set from the three files of every selected protein.
//
// For the protein named N, under the data root:
//   dssp_data/N          one record per residue: text, residue letter, text, structure letter
//   new_prf/N.mat        3 header lines, then: text, residue letter, 20 profile values
//   kvqout/N.kvqout      1 header line, then: integer, residue letter, text, 8 numbers
//                        (1st: first angle, 2nd: second angle, 8th: accessible surface area)
#pragma once

#include <string>

#include "dataset/store.h"

namespace kelvor {

// The data root that a build sets (ends in "/").
std::string defaultDataRoot();

// The three paths of a protein (name with trailing blanks removed).
struct ProteinPaths {
  std::string dssp, profile, prediction;
};
ProteinPaths proteinPaths(const std::string& root, const std::string& name);

// Reads every protein of store.pname into the store. On a residue-letter mismatch or an unknown
// structure letter it writes its report lines to standard output and throws DataStop; errors of
// the file layer throw FileError. Residues that end a protein early for another reason than the
// end of its DSSP-data file are reported on standard error, one warning line each.
void setio(DataStore& store, const std::string& dataRoot);

}  // namespace kelvor
