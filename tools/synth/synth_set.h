// A synthetic data set of realistic shape under a directory: dssp_data/, new_prf/, kvqout/, the
// protein list "proteins.list" and, when asked, a defaults file "kelvor.in". The same options
// always give the same files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvor::synth {

struct SetOptions {
  std::string dir;  // the data root to write (created when missing)
  std::uint64_t seed = 1;
  long chains = 0;         // 0: one chain per 200 residues
  long residues = 0;       // 0: what the drawn chain lengths give
  int epochs = -1;         // >= 0: also write "kelvor.in" with this epoch limit
  bool overwrite = false;  // write over a data set already in `dir`
};

struct SetSummary {
  long chains = 0;
  long residues = 0;
  int shortest = 0, longest = 0;
};

// Chain lengths: drawn around 180 residues (a few dozen to several hundred), then scaled to the
// residue total when one is asked for. Throws ConfigError when fewer residues than chains are
// asked for, and MemoryError (synth_room.h) before setting anything aside when the set would
// need more memory than the process may use.
std::vector<int> chainLengths(const SetOptions& o);

// The first file of a data set already in o.dir that writing would replace or mix with: the
// protein list, the defaults file when one is asked for, or anything in the three per-protein
// folders. Empty when there is none.
std::string existingSetFile(const SetOptions& o);

// Writes the set; throws FileError naming the file that cannot be written, or, unless
// o.overwrite, the file of a data set already there (before anything is written).
SetSummary writeSet(const SetOptions& o);

}  // namespace kelvor::synth
