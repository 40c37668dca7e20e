// A trained weight set: the five weight files of a run directory and the transfer settings
// (gain and dcay) of the defaults file the run was trained with.
#pragma once

#include <optional>
#include <string>

#include "network/state.h"

namespace kelvor::predict {

// Settings that replace those of a run directory's defaults file.
struct SettingsOverride {
  std::optional<double> gain, dcay;
};

struct WeightSet {
  std::string dir;
  Network net;
};

// Reads fort.77, fort.78, fort.79, fort.87 and fort.88 of `dir` into net, value for value in the
// order the trainer writes them. A missing, short or malformed file throws FileError naming it.
void readWeightFiles(Network& net, const std::string& dir);

// Loads a weight set: its weight files, gain and dcay from dir/kelvor.in (unless both are
// overridden), the attenuation factors and the bias activations. A missing kelvor.in without
// both overrides throws UsageError.
void loadWeightSet(WeightSet& set, const std::string& dir, const SettingsOverride& over = {});

}  // namespace kelvor::predict
