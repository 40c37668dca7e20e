// Errors of the angle network's outputs over a residue range, and the per-letter mean that they
// are measured against.
//
// `outputs` holds three values per residue (area, first angle, second angle), residue r's at
// (r-1)*3, in the encoded units of the targets (columns 33-35). Outputs marked silent for a
// residue (undefined angles) are left out of every sum.
#pragma once

#include <array>
#include <vector>

#include "dataset/store.h"

namespace kelvor::angles {

// Mean absolute error of each output in encoded units, over the residues where it has a target.
struct ScaledErrors {
  std::array<double, 3> mae{};  // not a number where count is 0
  std::array<long, 3> count{};
  // The score of a part: the mean of the three outputs' errors (not a number when any is).
  double mean() const { return (mae[0] + mae[1] + mae[2]) / 3.0; }
};
ScaledErrors scaledErrors(const DataStore& store, const std::vector<double>& outputs, int first, int last);

// The errors in the units of the values: the angles' circular differences in degrees, the
// area's in square angstrom (through the maximum the encoder used, `maxima`, 0-based by residue),
// and the Pearson correlation of predicted and observed area in encoded units.
struct ValueErrors {
  int residues = 0;
  double firstDegrees = 0.0, secondDegrees = 0.0, areaSquareAngstrom = 0.0, areaCorrelation = 0.0;
};
ValueErrors valueErrors(const DataStore& store, const std::vector<double>& outputs, const std::vector<double>& maxima,
                        int first, int last);

// Per residue letter, the mean of each target over residues first..last (where it has one); a
// letter not seen there gets the mean over all of them. Predictions in the layout of `outputs`.
class LetterMeans {
 public:
  LetterMeans(const DataStore& store, int first, int last);
  std::vector<double> predict(const DataStore& store) const;

 private:
  std::array<std::array<double, 3>, 128> mean_{};  // by letter code; 0: any other letter
  std::array<double, 3> overall_{};
};

}  // namespace kelvor::angles
