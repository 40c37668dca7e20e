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
#include "tools/prep/pssm_reader.h"
#include "tools/prep/residues.h"

namespace kelvor::prep {

// The files of one chain, as they will be written. A chain of unknown structure has no DSSP-data
// file, and a prediction file only when an angle table gave its values.
struct ChainFiles {
  std::string name;
  int residues = 0;
  std::string dssp, profile, prediction;
  bool hasDssp = true, hasPrediction = true;
};

// DSSP files read once, however many chains come from them.
class DsspCache {
 public:
  // The file's content; a file that cannot be used throws ProblemError, on every call.
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
// residue for residue as made are refused. A chain without a DSSP file goes to
// buildSequenceChain.
BuildResult buildChain(const ChainEntry& entry, Reduction reduction, const std::string& root, DsspCache& cache);

// A chain of unknown structure: its residues are the PSSM's rows. It gets a profile file, and a
// prediction file from the angle table when one is given (class '-': unknown, five unused
// numbers 0); the values of a chain without a table come later from an angle predictor.
BuildResult buildSequenceChain(const ChainEntry& entry, const std::string& root);

// The three header lines of a profile file made from the matrix, and the header line of a
// prediction file.
std::string profileHead(const PssmFile& pssm);
const char* predictionHeader();

// Reads the files made for a chain back the way kelvor would under `root`, from `made` (path to
// content; stand-ins for files a chain of unknown structure lacks may be among them), and adds
// a problem for anything that would not read back as made; `residues` is the count made.
void checkReadBack(const std::string& name, const std::string& root,
                   const std::map<std::string, const std::string*>& made, int residues, std::vector<Problem>& problems);

// The chain's sequence as the data set will hold it (chain breaks left out, bridged cysteines
// as C, unknown residues as X), in FASTA form, for making its PSSM.
std::string fastaOf(const std::string& name, const std::string& dsspPath, const std::string& chain,
                    const std::vector<DsspResidue>& residues);

// Writes the chain's files under root (their directories made when missing); each file is
// replaced whole. A file the chain does not have is removed when an earlier chain of that name
// left one, so that it is never read with the new profile; the removed paths are returned.
// Throws FileError.
std::vector<std::string> writeChainFiles(const std::string& root, const ChainFiles& files);

// Writes the protein list: one name per line. Throws FileError.
void writeProteinList(const std::string& path, const std::vector<std::string>& names);

}  // namespace kelvor::prep
