// The chains to convert, one per line:
//   NAME  DSSP-FILE  CHAIN  PSSM-FILE  [ANGLE-TABLE]
// NAME names the chain's files in the data set and its protein-list line; CHAIN is the chain
// identifier of the DSSP file (column 12), or "-" for a file of one chain. A chain whose
// structure is unknown gives "-" for both DSSP-FILE and CHAIN: its residues are the PSSM's rows.
// Relative file names are taken from the list file's directory. Blank lines and lines starting
// with '#' are passed over.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/prep/problems.h"

namespace kelvor::prep {

struct ChainEntry {
  long line = 0;
  std::string name, dssp, chain, pssm, angles;  // dssp (no structure), pssm and angles may be empty
  bool hasStructure() const { return !dssp.empty(); }
};

// Reads the list. Every faulty line adds a problem (a missing field, a name kelvor could not
// use, a name given twice); the good lines are returned. FileError when the file cannot be read.
std::vector<ChainEntry> readChainList(const std::string& path, std::vector<Problem>& problems);
std::vector<ChainEntry> parseChainList(const std::string& path, const std::string& text,
                                       std::vector<Problem>& problems);

// Why a name cannot name a chain's files and list line (empty, longer than 120 characters,
// holds a blank, a control character or '/', or is "." or ".."); nothing when it can.
std::optional<std::string> badName(const std::string& name);

}  // namespace kelvor::prep
