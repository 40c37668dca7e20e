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

namespace kelvor {

constexpr int kHidden = 101;   // neurons of each first-stage hidden layer
constexpr int kFHidden = 21;   // filter hidden neurons
constexpr int kOutputs = 3;    // strand, coil, helix

constexpr std::size_t w1(int i, int f, int h) { return (i - 1) + 22 * (f - 1) + 660 * (h - 1); }
constexpr std::size_t w2(int m, int k) { return (m - 1) + 102 * (k - 1); }
constexpr std::size_t pw(int m, int c) { return (m - 1) + 102 * (c - 1); }
constexpr std::size_t fw1(int i, int c, int h) { return (i - 1) + 22 * (c - 1) + 66 * (h - 1); }
constexpr std::size_t fw2(int m, int c) { return (m - 1) + 22 * (c - 1); }
constexpr std::size_t din(int i, int h) { return (i - 1) + 21 * (h - 1); }
constexpr std::size_t dhid(int m, int k) { return (m - 1) + 101 * (k - 1); }
constexpr std::size_t fdin(int i, int h) { return (i - 1) + 21 * (h - 1); }

struct Network {
  // weights / oldwei
  std::vector<double> wei1 = std::vector<double>(22 * 30 * 101);
  std::vector<double> wei2 = std::vector<double>(102 * 101);
  std::vector<double> owei1 = std::vector<double>(22 * 30 * 101);
  std::vector<double> owei2 = std::vector<double>(102 * 101);
  std::array<double, 102 * 6> pwei{};
  // filtwei / ofiltwei
  std::array<double, 22 * 3 * 21> fwei1{};
  std::array<double, 22 * 3> fwei2{};
  std::array<double, 22 * 3 * 21> ofwei1{};
  std::array<double, 22 * 3> ofwei2{};

  // neurons: index 0 is unused so that hid1[m] is neuron m.
  std::array<double, 103> hid1{};   // hid1[102] = 1, the bias value
  std::array<double, 103> hid2{};   // hid2[102] = 1
  std::vector<double> outs;         // outs[(n-1)*3 + c-1]: first-stage output c of residue n
  std::array<double, 23> fhid{};    // fhid[22] = 1
  std::array<double, 4> fout{};     // fout[1..3]
  std::array<double, 21 * 3> finp{};  // finp (21, 3): (i-1) + 21*(c-1)

  // learn
  double gain = 0.0;
  double rate = 0.0;
  double momentum = 0.0;

  // dcays
  std::vector<double> dcayin = std::vector<double>(21 * 101);
  std::array<double, 102> dcayout{};   // dcayout[m], m = 1..101
  double dcay = 0.0;
  std::vector<double> dcayhid = std::vector<double>(101 * 101);
  std::array<double, 21 * 21> fdcayin{};
  std::array<double, 22> fdcayout{};   // fdcayout[m], m = 1..21

  double& out(int n, int c) { return outs[static_cast<std::size_t>(n - 1) * 3 + (c - 1)]; }
  double out(int n, int c) const { return outs[static_cast<std::size_t>(n - 1) * 3 + (c - 1)]; }
};

}  // namespace kelvor
