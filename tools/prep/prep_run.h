// The three things kelvor-prep does. Each reports its problems on `err` (one line each, starting
// "kelvor-prep: "), a summary on `out`, and returns the exit status.
#pragma once

#include <cstdio>

#include "tools/prep/options.h"

namespace kelvor::prep {

// Converts every chain of the chains list into the data root and writes the protein list.
int runConvert(const Options& o, std::FILE* out, std::FILE* err);

// Writes each chain's sequence as a FASTA file.
int runFasta(const Options& o, std::FILE* out, std::FILE* err);

// Checks the data root and protein list.
int runCheck(const Options& o, std::FILE* out, std::FILE* err);

}  // namespace kelvor::prep
