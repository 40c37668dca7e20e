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

// Loads a weight set: its weight files (read as the trainer reads them, see weightio), gain and dcay from dir/kelvor.in
// (unless both are overridden), the attenuation factors and the bias activations. A missing kelvor.in without both
// overrides throws UsageError.
void loadWeightSet(WeightSet& set, const std::string& dir, const SettingsOverride& over = {});

}  // namespace kelvor::predict
