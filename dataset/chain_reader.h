// One chain read from its per-protein files into the store: the one reader of kelvor's data set,
// kelvor-predict's chains and kelvor-angles' chains to predict.
//
// The reader appends the chain's residues to the store, encodes them and sets their window
// bounds. It neither prints nor decides what a fault means: what ended the chain comes back in
// the ChainRead, and each program words its warnings and stops in its own way. Errors of the
// file layer (a missing profile or prediction file, a header that is cut short, a value that is
// not a finite number) throw FileError naming the file and line.
#pragma once

#include <string>

#include "dataset/encoding.h"
#include "dataset/protein_records.h"
#include "dataset/setio.h"
#include "dataset/store.h"

namespace kelvor {

// Which files a chain is read from.
enum class ChainFiles {
  // The three files in lock-step, led by the DSSP-data file (kelvor's data set): a missing
  // DSSP-data file reads as empty, and the chain has no residues.
  kLabelled,
  // The three files as kLabelled when the DSSP-data file exists; otherwise the profile and
  // prediction files, led by the prediction file, the residue letters taken from the profile
  // and every residue a coil (kelvor-predict).
  kLabelledWhenDssp,
  // The profile file alone: its rows end at the end of the file or at the first record whose
  // first field is not an integer (a footer after the rows); the prediction file's inputs
  // (columns 28-30) are 0 and every residue a coil (kelvor-angles). A row that does not read
  // throws FileError.
  kProfileOnly,
};

struct ChainRead {
  std::string name;          // the name in the protein list, by the name rule (ground/names.h)
  ProteinPaths paths;        // its files under the data root
  bool labelled = false;     // read with its DSSP-data file: `observed` holds its structure letters
  bool dsspMissing = false;  // kLabelled: the DSSP-data file is missing
  int first = 0;             // its first residue in the store (1-based); 0 when it has none
  int length = 0;            // residues kept
  std::string residues;      // residue letters
  std::string observed;      // structure letters (labelled chains)

  // What ended the chain: the end of the file that leads it; a record of another file that
  // ended it early (the residues before it are kept); or a fault that stops the reading at
  // residue `residue`, which the store counts already (nta) but whose row is not complete:
  // two residue letters that disagree, or a structure letter other than H, E or C.
  enum class End { kComplete, kEarly, kLetters, kStructure };
  End end = End::kComplete;
  int residue = 0;    // kEarly: the residue that could not be read; else the faulty one
  std::string early;  // kEarly: "<file>: end of file after line N" or "<file>, line L: <why>"

  // kLetters: the two records that disagree, in file order (DSSP-data and profile, or profile
  // and prediction); kStructure: `one` is the DSSP-data record and its structure letter.
  struct Record {
    RecordFile file = RecordFile::kDssp;
    long line = 0;
    char letter = ' ';
  };
  Record one, other;

  const std::string& path(RecordFile f) const;
};

// Reads the chain named `listName` (a protein list line or field; trailing blanks are not part
// of the name) from the files under `root` (used as given: it ends in "/" or is empty). The
// encoder carries the surface-area maximum from chain to chain; the holders carry the last
// residue's values into the next record, as a slash that ends a record leaves them.
ChainRead readChain(DataStore& store, Encoder& encoder, ResidueRecord& holders, const std::string& root,
                    const std::string& listName, ChainFiles files);

// Makes a store ready for batches of chains to predict: the window's centre slots and the bias
// input, as a training run's start-up sets them.
void prepareChainStore(DataStore& store);

// `root` ending in "/" unless it is empty.
std::string rootDirectory(std::string root);

}  // namespace kelvor
