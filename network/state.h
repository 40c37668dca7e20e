// Parameters and activations of the two networks.
//
// Arrays keep their 1-based extents and are stored flat, first index fastest:
//   wei1 (22, 30, 101)  window slot i, feature f, hidden-1 neuron h; wei1(22, 1, h) is the bias
//   wei2 (102, 101)     hidden-1 neuron m (102 = bias), hidden-2 neuron k
//   pwei (102, 6)       hidden-2 neuron m (102 = bias), output c; columns 4..6 previous changes
//   fwei1 (22, 3, 21)   filter slot i, first-stage output c, filter hidden neuron h
//   fwei2 (22, 3)       filter hidden neuron m (22 = bias), filter output c
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "dataset/shapes.h"

namespace kelvor {

constexpr std::size_t w1(int i, int f, int h) { return (i - 1) + kSlots * (f - 1) + kSlots * kFeatures * (h - 1); }
constexpr std::size_t w2(int m, int k) { return (m - 1) + kHiddenBias * (k - 1); }
constexpr std::size_t pw(int m, int c) { return (m - 1) + kHiddenBias * (c - 1); }
constexpr std::size_t fw1(int i, int c, int h) { return (i - 1) + kSlots * (c - 1) + kSlots * kOutputs * (h - 1); }
constexpr std::size_t fw2(int m, int c) { return (m - 1) + kFHiddenBias * (c - 1); }
constexpr std::size_t din(int i, int h) { return (i - 1) + kWindow * (h - 1); }
constexpr std::size_t dhid(int m, int k) { return (m - 1) + kHidden * (k - 1); }
constexpr std::size_t fdin(int i, int h) { return (i - 1) + kWindow * (h - 1); }
constexpr std::size_t fip(int i, int c) { return (i - 1) + kWindow * (c - 1); }  // finp(i, c)

// Values of the first-stage outputs of `residues` residues: kOutputs each, residue after residue.
constexpr std::size_t outputValues(int residues) { return static_cast<std::size_t>(residues) * kOutputs; }

struct Network {
  // weights / oldwei
  std::vector<double> wei1 = std::vector<double>(kSlots * kFeatures * kHidden);
  std::vector<double> wei2 = std::vector<double>(kHiddenBias * kHidden);
  std::vector<double> owei1 = std::vector<double>(kSlots * kFeatures * kHidden);
  std::vector<double> owei2 = std::vector<double>(kHiddenBias * kHidden);
  std::array<double, kHiddenBias * kPweiColumns> pwei{};
  // filtwei / ofiltwei
  std::array<double, kSlots * kOutputs * kFHidden> fwei1{};
  std::array<double, kFHiddenBias * kOutputs> fwei2{};
  std::array<double, kSlots * kOutputs * kFHidden> ofwei1{};
  std::array<double, kFHiddenBias * kOutputs> ofwei2{};

  // neurons: index 0 is unused so that hid1[m] is neuron m.
  std::array<double, kHiddenBias + 1> hid1{};     // hid1[kHiddenBias] = 1, the bias value
  std::array<double, kHiddenBias + 1> hid2{};     // hid2[kHiddenBias] = 1
  std::vector<double> outs;                       // outs[(n-1)*3 + c-1]: first-stage output c of residue n
  std::array<double, kFHiddenBias + 1> fhid{};    // fhid[kFHiddenBias] = 1
  std::array<double, kOutputs + 1> fout{};        // fout[1..3]
  std::array<double, kWindow * kOutputs> finp{};  // finp (21, 3): finp(i, c) at fip(i, c)

  // learn
  double gain = 0.0;
  double rate = 0.0;
  double momentum = 0.0;

  // dcays
  std::vector<double> dcayin = std::vector<double>(kWindow * kHidden);
  std::array<double, kHiddenBias> dcayout{};  // dcayout[m], m = 1..101
  double dcay = 0.0;
  std::vector<double> dcayhid = std::vector<double>(kHidden * kHidden);
  std::array<double, kWindow * kFHidden> fdcayin{};
  std::array<double, kFHiddenBias> fdcayout{};  // fdcayout[m], m = 1..21

  // Room for the outputs of residues 1..residues, every value 0.
  void sizeOutputs(int residues) { outs.assign(outputValues(residues), 0.0); }

  double& out(int n, int c) { return outs[static_cast<std::size_t>(n - 1) * kOutputs + (c - 1)]; }
  double out(int n, int c) const { return outs[static_cast<std::size_t>(n - 1) * kOutputs + (c - 1)]; }
};

}  // namespace kelvor
