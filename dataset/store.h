// The data set store: protein selection, encoded residues, window bounds, prediction
// accumulators, the current input window and a few run-wide values.
//
// Indices are 1-based as in the accessors' names; per-residue arrays grow with the data set
// (one row per stored residue). Proteins and residues are limited only by memory and by their
// 32-bit numbering.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "dataset/shapes.h"
#include "ground/names.h"

namespace kelvor {

constexpr int kMaxProteins = 2147483647;
constexpr int kMaxResidues = 2147483647;
constexpr int kNameLength = static_cast<int>(kNameField);

struct DataStore {
  // sinout
  int ntrain = 0;                  // proteins 1..ntrain: training part
  int ntrval = 0;                  // proteins ntrain+1..ntrval: validation part
  int nprot = 0;                   // proteins ntrval+1..nprot: test part
  int ntatrain = 0;                // residues of the training part
  int ntatrval = 0;                // residues of the training and validation parts
  int nta = 0;                     // residues of the data set
  std::vector<int> iorder;         // iorder[k-1]: list line of the protein at position k
  std::vector<std::string> pname;  // pname[k-1]: its name, 120 characters, blank-padded

  // filin (nta, kColumns), stored residue by residue: column c of residue r at (r-1)*kColumns + c-1.
  std::vector<double> filin;
  double& fin(int r, int c) { return filin[static_cast<std::size_t>(r - 1) * kColumns + (c - 1)]; }
  double fin(int r, int c) const { return filin[static_cast<std::size_t>(r - 1) * kColumns + (c - 1)]; }
  const double* row(int r) const { return filin.data() + static_cast<std::size_t>(r - 1) * kColumns; }

  // edges: valid window slots of residue r are winlo[r-1]..winhi[r-1].
  std::vector<int> winlo, winhi, outlo, outhi;
  int wincen = 0;
  int outcen = 0;

  // filout
  std::vector<double> sscode;  // sum of predicted class codes of residue r
  std::vector<int> nsscode;    // number of codes added

  // inout: xin (kSlots, kFeatures), slot fastest, then targ (kOutputs).
  std::array<double, kSlots * kFeatures + kOutputs> inout{};
  double& xin(int s, int f) { return inout[(s - 1) + kSlots * (f - 1)]; }
  double xin(int s, int f) const { return inout[(s - 1) + kSlots * (f - 1)]; }
  double& targ(int c) { return inout[kSlots * kFeatures + (c - 1)]; }
  double targ(int c) const { return inout[kSlots * kFeatures + (c - 1)]; }

  // misc: fields 1..5 (4: latest score, 5: test fraction), then the generator state.
  std::array<double, 5> misc{};
  int seed = 0;
  double& score() { return misc[3]; }
  double& testFraction() { return misc[4]; }

  // Sets aside room for `residues` rows in every per-residue array, so that filling them moves
  // nothing (a grown copy would need the old and the new array at once). Beyond the 32-bit
  // numbering or the memory available it sets aside nothing: addResidue() reports the limit.
  void reserveResidues(long long residues);
  // Adds one zero-filled residue row to every per-residue array and counts it in nta. Throws
  // ConfigError, naming the residues and bytes needed, past the numbering or out of memory.
  void addResidue();
  // The window bounds of the `length` residues of one chain, the last of them residue `last`:
  // winlo..winhi are the input slots around the centre slot (kWinCentre) that hold residues of
  // the same chain; outlo..outhi the output slots, the one slot of the residue itself.
  void setChainBounds(int last, int length);
  // Bytes that the per-residue arrays of the store and the network's outputs take per residue.
  static constexpr long long kBytesPerResidue = kColumns * 8 + 4 * 4 + 8 + 4 + kOutputs * 8;
};

}  // namespace kelvor
