// Reads a chain to predict from its profile file alone (new_prf/N.mat under the data root), with
// the trainer's chain reader (dataset/chain_reader.h): the residue letters and profile values,
// encoded as the trainer encodes them, with the area and angle inputs at 0 as the angle network
// reads them. No other file of the chain is opened.
#pragma once

#include <string>

#include "dataset/chain_reader.h"
#include "dataset/encoding.h"
#include "dataset/store.h"

namespace kelvor::angles {

// A chain to predict: its name, where its residues are in the store and its residue letters.
using ProfileChain = ChainRead;

class ProfileReader {
 public:
  explicit ProfileReader(std::string dataRoot);

  // Appends the chain's residues to the store, with their window bounds. The profile's rows end
  // at the end of the file or at the first record whose first field is not an integer (the
  // footer psiblast writes after the rows). A missing file, one shorter than its three header
  // lines, or a row that does not read (a value that is not a number) throws FileError naming
  // the file and line.
  ProfileChain read(DataStore& store, const std::string& name);

  std::string profilePath(const std::string& name) const;

 private:
  std::string root_;
  Encoder encoder_;
};

}  // namespace kelvor::angles
