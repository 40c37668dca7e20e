// Reads the per-protein files of the chains to predict into a data set store, with the trainer's
// own chain reader (dataset/chain_reader.h).
//
// A chain with a DSSP-data file is read as the trainer reads it (the three files in lock-step,
// the same letter checks, the same encoding), so its features and observed classes are the
// trainer's. A chain without one is read from its profile and prediction files alone:
// the residue letters come from the profile file and must match the prediction file, and the
// chain ends with its prediction file. Its rows carry coil targets that nothing reads.
#pragma once

#include <string>

#include "dataset/chain_reader.h"
#include "dataset/encoding.h"
#include "dataset/store.h"

namespace kelvor::predict {

// A chain to predict: its name, whether it has a DSSP-data file, where its residues are in the
// store, its residue letters and (labelled chains) its observed classes E/C/H.
using Chain = ChainRead;

class ChainReader {
 public:
  explicit ChainReader(std::string dataRoot);

  // Appends the chain's residues to the store, with their window bounds. A letter mismatch or
  // an unknown structure letter throws InputError; a missing profile or prediction file, or one
  // without its header lines, throws FileError. A record that ends the chain before the end of
  // the file that leads it (the DSSP-data file, or else the prediction file) leaves the residues
  // read so far and gives one warning on standard error.
  Chain read(DataStore& store, const std::string& name);

  const std::string& dataRoot() const { return root_; }

 private:
  std::string root_;
  Encoder encoder_;  // carries the surface-area maximum from chain to chain, as the trainer does
};

}  // namespace kelvor::predict
