// The command line of kelvor-synth.
#pragma once

#include <string>

#include "tools/synth/synth_set.h"

namespace kelvor::synth {

struct Options {
  SetOptions set;
  bool help = false;
  bool version = false;
};

// Parses argv[1..argc-1]; throws UsageError on an unknown option, a missing or bad value, or a
// missing or second directory. Options take their value as "--name value" or "--name=value".
Options parseOptions(int argc, const char* const* argv);

// The usage text, also written after the message of a bad command line.
std::string usageText();
std::string versionText();

}  // namespace kelvor::synth
