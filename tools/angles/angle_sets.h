// A trained angle network: angles.77..79 of a directory and the gain and dcay of the kelvor.in
// it was trained with.
#pragma once

#include <string>
#include <vector>

#include "network/state.h"

namespace kelvor::angles {

struct AngleSet {
  std::string dir;
  Network net;
};

// Loads the set in `dir` (read as the trainer reads weight files; while a training run of the
// directory is not replacing them). A directory that is not one, a missing kelvor.in or a
// missing, short or malformed weight file throws FileError naming it.
void loadAngleSet(AngleSet& set, const std::string& dir);

}  // namespace kelvor::angles
