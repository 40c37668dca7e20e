// Turning one chain's DSSP residues, PSSM rows and (optionally) angle-table lines into the three
// files kelvor reads, after checking that they describe the same residues.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/prep/chain_list.h"
#include "tools/prep/dssp_reader.h"
#include "tools/prep/problems.h"
#include "tools/prep/residues.h"

namespace kelvor::prep {

// The three files of one chain, as they will be written.
struct ChainFiles {
  std::string name;
  int residues = 0;
  std::string dssp, profile, prediction;
};

// DSSP files read once, however many chains come from them.
class DsspCache {
 public:
  // The file's content; a file that cannot be used throws InputError, on every call.
  const DsspFile& get(const std::string& path);

 private:
  std::map<std::string, DsspFile> files_;
  std::map<std::string, Problem> failures_;
};

struct BuildResult {
  std::optional<ChainFiles> files;  // set when the chain converts cleanly
  std::vector<Problem> problems;    // errors that keep it out, or warnings
};

// Reads the chain's inputs, checks them residue by residue (every disagreement is one problem
// naming the chain, the position and both letters) and makes the three files. Before handing
// them back it reads them as kelvor would under `root`; files that would not read back
// residue for residue as made are refused.
BuildResult buildChain(const ChainEntry& entry, Reduction reduction, const std::string& root, DsspCache& cache);

// The chain's sequence as the data set will hold it (chain breaks left out, bridged cysteines
// as C, unknown residues as X), in FASTA form, for making its PSSM.
std::string fastaOf(const std::string& name, const std::string& dsspPath, const std::string& chain,
                    const std::vector<DsspResidue>& residues);

// Writes the chain's files under root (its three directories made when missing); each file is
// replaced whole. Throws FileError.
void writeChainFiles(const std::string& root, const ChainFiles& files);

// Writes the protein list: one name per line. Throws FileError.
void writeProteinList(const std::string& path, const std::vector<std::string>& names);

}  // namespace kelvor::prep
