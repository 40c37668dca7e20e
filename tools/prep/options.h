// The command line of kelvor-prep.
#pragma once

#include <string>

#include "tools/prep/residues.h"

namespace kelvor::prep {

struct Options {
  enum Mode { kConvert, kFasta, kCheck };
  Mode mode = kConvert;
  std::string chains;    // the chains list (convert, fasta)
  std::string dataRoot;  // ends in '/'
  std::string list;      // the protein list to write or check
  std::string fastaDir;  // where --fasta writes
  Reduction reduction = Reduction::kHGI;
  bool skipBad = false;
  bool help = false;
  bool version = false;
};

std::string usageText();
std::string toolVersion();

// Throws UsageError for an unknown option, a missing or extra argument, a bad value.
Options parseOptions(int argc, const char* const* argv);

}  // namespace kelvor::prep
