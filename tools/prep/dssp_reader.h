// Classic DSSP output (mkdssp --output-format dssp): the residue lines after the
// "  #  RESIDUE" header, in fixed columns.
#pragma once

#include <string>
#include <vector>

namespace kelvor::prep {

struct DsspResidue {
  long line = 0;       // line in the DSSP file
  std::string number;  // residue number in the structure file, with its insertion code ("52A")
  char chain = ' ';    // chain identifier
  char letter = ' ';   // one-letter code as DSSP writes it (lower case: a bridged cysteine)
  char state = ' ';    // DSSP state: H B E G I T S P or ' '
  // Numbers as DSSP writes them (checked to read as finite numbers).
  std::string acc, tco, kappa, alpha, phi, psi, xca, yca;
};

struct DsspFile {
  std::string path;
  std::vector<DsspResidue> residues;  // every residue line in file order; break lines left out
  int breaks = 0;                     // break lines ("!", and "!*" between chains)
  std::string chains() const;         // the chain identifiers, each once, in file order
};

// Reads a classic DSSP file. Throws ProblemError naming the file and line when the content is not
// classic DSSP output (no residue header, a short or garbled residue line), FileError when the
// file cannot be read.
DsspFile readDssp(const std::string& path);
DsspFile parseDssp(const std::string& path, const std::string& text);

// The residues of one chain ("-": the file's only chain). Throws ProblemError when the file has
// no such chain (or, for "-", more than one), naming the chains it has.
std::vector<DsspResidue> chainResidues(const DsspFile& file, const std::string& chain);

}  // namespace kelvor::prep
