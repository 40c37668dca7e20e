#include "network/fast/panels.h"

#include <cstring>
#include <stdexcept>
#include <type_traits>

namespace kelvor::fast {

namespace {

// Moves a value one way: into the panels (ToPanels) or back into the Network.
template <bool ToPanels>
struct Move {
  template <typename N, typename P>
  void operator()(N& net, P& panel) const {
    if constexpr (ToPanels)
      panel = net;
    else
      net = panel;
  }
};

// Calls move(network value, panel value) for every element of `parts` that the first stage's
// layout keeps. Net and Layout are const on the side that is read.
template <bool ToPanels, typename Net, typename Layout>
void eachFirstPlace(Net& net, Layout& L, unsigned parts) {
  const Move<ToPanels> move;
  for (int t = 0; t < L.threads; ++t) {
    auto& sl = L.slices[t];
    for (int q = 0; q < sl.real; ++q) {
      const int h = sl.base + q + 1;
      auto wei1 = [&](auto& wNet, auto* wPanel) {
        for (int i = 1; i <= kWindow; ++i)
          for (int f = 1; f <= kFeatures; ++f)
            move(wNet[w1(i, f, h)], wPanel[panelAt(sl, kRows1, q, kFeatures * (i - 1) + f - 1)]);
        move(wNet[w1(kBiasSlot, 1, h)], wPanel[panelAt(sl, kRows1, q, kBiasRow1)]);
      };
      // Column h of wei2 in copy A; row h in copy B, which is only ever written (copy A holds
      // the same values).
      auto wei2 = [&](auto& wNet, auto* copyA, auto* copyB) {
        for (int m = 1; m <= kHiddenBias; ++m) move(wNet[w2(m, h)], copyA[panelAt(sl, kRowsA, q, m - 1)]);
        if constexpr (ToPanels)
          if (copyB != nullptr)
            for (int k = 1; k <= kHidden; ++k) move(wNet[w2(h, k)], copyB[panelAt(sl, kRowsB, q, k - 1)]);
      };
      if (parts & kWeights) {
        wei1(net.wei1, sl.w1);
        wei2(net.wei2, sl.aw, sl.bw);
      }
      if (parts & kChanges) {
        wei1(net.owei1, sl.p1);
        wei2(net.owei2, sl.ap, sl.bp);
      }
      if constexpr (ToPanels)
        if (parts & kFactors)
          for (int i = 1; i <= kWindow; ++i) move(net.dcayin[din(i, h)], sl.d1[panelAt(sl, kRowsIn, q, i - 1)]);
    }
    // The output layer: every slice keeps a whole copy, in the Network's layout; slice 0's is read.
    if (!ToPanels && t > 0) continue;
    for (int m = 1; m <= kHiddenBias; ++m) {
      if (parts & kWeights)
        for (int c = 1; c <= kOutputs; ++c) move(net.pwei[pw(m, c)], sl.pwei[pw(m, c)]);
      if (parts & kChanges)
        for (int c = kOutputs + 1; c <= kPweiColumns; ++c) move(net.pwei[pw(m, c)], sl.pwei[pw(m, c)]);
    }
  }
}

// The band of dcayhid: its value for each distance k - m, checked to be the whole matrix's.
void fillBand(double* band, const Network& net) {
  for (int d = -(kHidden - 1); d <= kHidden - 1; ++d)
    band[kBandMiddle + d] = d >= 0 ? net.dcayhid[dhid(1, 1 + d)] : net.dcayhid[dhid(1 - d, 1)];
  for (int m = 1; m <= kHidden; ++m)
    for (int k = 1; k <= kHidden; ++k)
      if (std::memcmp(&band[kBandMiddle + k - m], &net.dcayhid[dhid(m, k)], sizeof(double)) != 0 ||
          std::memcmp(&band[kBandMiddle + m - k], &net.dcayhid[dhid(m, k)], sizeof(double)) != 0)
        throw std::logic_error("fast engine: dcayhid is not a symmetric function of the distance m - k");
}

// The same for the filter: fwei1 rows (slot i, output c) of hidden neuron h in lane h - 1.
template <bool ToPanels, typename Net, typename Layout>
void eachFilterPlace(Net& net, Layout& F, unsigned parts) {
  const Move<ToPanels> move;
  auto& f = F.state;
  const int fw = f.width;
  auto fwei1 = [&](auto& wNet, auto* wPanel) {
    for (int h = 1; h <= kFHidden; ++h) {
      for (int i = 1; i <= kWindow; ++i)
        for (int c = 1; c <= kOutputs; ++c) move(wNet[fw1(i, c, h)], wPanel[(kOutputs * (i - 1) + c - 1) * fw + h - 1]);
      move(wNet[fw1(kBiasSlot, 1, h)], wPanel[kFilterBiasRow * fw + h - 1]);
    }
  };
  auto fwei2 = [&](auto& wNet, auto* wPanel) {
    for (int q = 0; q < kFwei2; ++q) move(wNet[q], wPanel[q]);
  };
  if (parts & kWeights) {
    fwei1(net.fwei1, f.w1);
    fwei2(net.fwei2, f.w2);
  }
  if (parts & kChanges) {
    fwei1(net.ofwei1, f.p1);
    fwei2(net.ofwei2, f.p2);
  }
  if constexpr (ToPanels)
    if (parts & kFactors) {
      for (int h = 1; h <= kFHidden; ++h)
        for (int i = 1; i <= kWindow; ++i) move(net.fdcayin[fdin(i, h)], f.d1[(i - 1) * fw + h - 1]);
      // The kernels read the factors as const; the memory is the layout's own.
      for (int m = 1; m <= kFHidden; ++m) const_cast<double*>(f.dcayout)[m - 1] = net.fdcayout[m];
    }
}

}  // namespace

void toPanels(const Network& net, FirstLayout& L, unsigned parts) {
  eachFirstPlace<true>(net, L, parts);
  if (parts & kFactors) {
    // The kernels read the factors as const; the memory is the layout's own.
    double* dcayout = const_cast<double*>(L.shared.dcayout);
    for (int m = 1; m <= kHidden; ++m) dcayout[m - 1] = net.dcayout[m];
    fillBand(const_cast<double*>(L.shared.band), net);
  }
}

void toPanels(const Network& net, FilterLayout& F, unsigned parts) { eachFilterPlace<true>(net, F, parts); }

void fromPanels(const FirstLayout& L, Network& net, unsigned parts) { eachFirstPlace<false>(net, L, parts); }

void fromPanels(const FilterLayout& F, Network& net, unsigned parts) { eachFilterPlace<false>(net, F, parts); }

}  // namespace kelvor::fast
