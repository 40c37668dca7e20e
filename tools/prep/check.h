// Checks a data set the way kelvor reads it: every protein of the list has its three files, the
// files are read record by record in lock-step exactly as kelvor's setio reads them, and every
// place where kelvor would stop, lose residues or read other values than the file seems to hold
// is listed, not only the first.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/prep/problems.h"

namespace kelvor::prep {

// Where the files come from: the content of a path, nothing for a missing file; throws FileError
// for a file that cannot be read.
using Loader = std::function<std::optional<std::string>(const std::string& path)>;
Loader diskLoader();

struct ProteinCheck {
  int residues = 0;                 // the residues kelvor stores for the protein
  std::string sequence, structure;  // their residue and structure letters
  std::vector<Problem> problems;
};

// One protein: its DSSP-data, profile and prediction files under the data root (ends in '/').
ProteinCheck checkProtein(const std::string& name, const std::string& root, const Loader& load);

struct RootCheck {
  int proteins = 0;   // list lines
  long residues = 0;  // residues kelvor would store
  int faulty = 0;     // proteins with at least one error
  std::vector<Problem> problems;
};

// A protein list and the files of every protein it names. A missing list is itself a problem.
RootCheck checkDataRoot(const std::string& root, const std::string& listPath, const Loader& load);

}  // namespace kelvor::prep
