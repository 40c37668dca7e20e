// The defaults file "kelvor.in" and the protein list it names.
//
// Ten settings, read as free-form records in this order:
//   1 epoch limit   2 requested protein count   3 an integer (unused)   4 rate   5 momentum
//   6 gain   7 dcay   8 fold number   9 test fraction   10 protein list file name, then a word
#pragma once

#include <string>
#include <vector>

#include "dataset/store.h"
#include "network/state.h"

namespace kelvor {

// What the defaults file holds, before anything is derived from it.
struct Settings {
  int epochLimit = 0;
  int requested = 0;
  int unused = 0;
  double rate = 0.0;
  double momentum = 0.0;
  double gain = 0.0;
  double dcay = 0.0;
  int fold = 0;
  double testFraction = 0.0;
  std::string listName;  // 120 characters, blank-padded
  std::string word;      // 6 characters
};

// Reads the ten settings; FileError names the file on an end of file or an unreadable value.
Settings readSettings(const std::string& path);

// Reads the protein list line by line (120 characters each). A missing or empty list, or one
// with a blank line, is refused with a FileError; more than 2147483647 lines with a ConfigError.
std::vector<std::string> readProteinList(const std::string& path);

// The part sizes of n proteins: test size t, validation size v.
struct PartSizes {
  int nprot = 0, ntrval = 0, ntrain = 0, test = 0;
};
PartSizes partSizes(int n, double testFraction);

// Round to the nearest integer, halves away from zero.
int roundHalfAway(double x);

// The run's configuration, as getdefs hands it back.
struct RunConfig {
  std::string reportName;  // "kelvor.valdav"
  std::string listName;    // the protein list's file name, trailing blanks removed
  int epochLimit = 0;
  int requested = 0;
  int fold = 0;
  Settings settings;
  int listLines = 0;
};

// getdefs: reads the defaults file and the list, writes the learning settings into the network,
// the test fraction, part sizes, order and names into the store, and may write the warning
// "Protein set too small for number of proteins selected, using full set." Before the order is
// made, the configuration is checked (validateSettings); a refusal throws ConfigError.
RunConfig getdefs(DataStore& store, Network& net, const std::string& defaultsName = "kelvor.in", int seedOffset = 7);

}  // namespace kelvor
