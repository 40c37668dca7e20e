// Reference training steps of both networks: every error term from the weights as they stand
// at the call, then Δ = η·G + μ·p, w += Δ, p = Δ.
#include <array>

#include "network/reference/kernels.h"

namespace kelvor {
namespace {
inline void update(double& w, double& p, double rate, double momentum, double g) {
  const double delta = rate * g + momentum * p;
  w = w + delta;
  p = delta;
}
}  // namespace

void backprop(Network& net, const DataStore& store, int n) {
  const double g = net.gain, eta = net.rate, mu = net.momentum;
  const int lo = store.winlo[n - 1], hi = store.winhi[n - 1];
  std::array<double, kOutputs + 1> biro2{};
  static thread_local std::array<double, kHiddenBias*(kOutputs + 1)> erro2;  // erro2[m + kHiddenBias*c]
  static thread_local std::array<double, kHiddenBias> birh2;
  static thread_local std::vector<double> errh2(kHiddenBias * kHiddenBias);  // errh2[m + kHiddenBias*k]
  std::array<double, kSlots> errh1{};

  const int silent = static_cast<int>(store.fin(n, kSilentColumn));
  for (int c = 1; c <= kOutputs; ++c) {
    const double o = net.out(n, c);
    biro2[c] = (silent >> (c - 1) & 1) ? 0.0 : g * (store.targ(c) - o) * (1.0 - o * o);
    for (int m = 1; m <= kHidden; ++m) erro2[m + kHiddenBias * c] = biro2[c] * net.dcayout[m];
  }
  for (int k = 1; k <= kHidden; ++k) {
    double sum = 0.0;
    for (int c = 1; c <= kOutputs; ++c) sum += net.pwei[pw(k, c)] * erro2[k + kHiddenBias * c];
    birh2[k] = g * (1.0 - net.hid2[k] * net.hid2[k]) * sum;
    for (int m = 1; m <= kHidden; ++m) errh2[m + kHiddenBias * k] = birh2[k] * net.dcayhid[dhid(m, k)];
  }
  for (int h = 1; h <= kHidden; ++h) {
    double sum = 0.0;
    for (int k = 1; k <= kHidden; ++k) sum += net.wei2[w2(h, k)] * errh2[h + kHiddenBias * k];
    const double birh1 = g * (1.0 - net.hid1[h] * net.hid1[h]) * sum;
    for (int i = lo; i <= hi; ++i) errh1[i] = birh1 * net.dcayin[din(i, h)];
    for (int i = lo; i <= hi; ++i)
      for (int f = 1; f <= kFeatures; ++f)
        update(net.wei1[w1(i, f, h)], net.owei1[w1(i, f, h)], eta, mu, errh1[i] * store.xin(i, f));
    update(net.wei1[w1(kBiasSlot, 1, h)], net.owei1[w1(kBiasSlot, 1, h)], eta, mu, birh1);
  }
  for (int k = 1; k <= kHidden; ++k) {
    for (int m = 1; m <= kHidden; ++m)
      update(net.wei2[w2(m, k)], net.owei2[w2(m, k)], eta, mu, errh2[m + kHiddenBias * k] * net.hid1[m]);
    update(net.wei2[w2(kHiddenBias, k)], net.owei2[w2(kHiddenBias, k)], eta, mu, birh2[k]);
    for (int c = 1; c <= kOutputs; ++c)
      update(net.pwei[pw(k, c)], net.pwei[pw(k, c + kOutputs)], eta, mu, erro2[k + kHiddenBias * c] * net.hid2[k]);
  }
  for (int c = 1; c <= kOutputs; ++c)
    update(net.pwei[pw(kHiddenBias, c)], net.pwei[pw(kHiddenBias, c + kOutputs)], eta, mu, biro2[c]);
}

void backpropf(Network& net, const DataStore& store, int n) {
  const double g = net.gain, eta = net.rate, mu = net.momentum;
  const int lo = store.winlo[n - 1], hi = store.winhi[n - 1];
  std::array<double, kOutputs + 1> biro2{};
  std::array<double, kFHiddenBias*(kOutputs + 1)> erro2{};  // erro2[m + kFHiddenBias*c]
  std::array<double, kSlots> errh1{};

  for (int c = 1; c <= kOutputs; ++c) {
    const double o = net.fout[c];
    biro2[c] = g * (store.targ(c) - o) * (1.0 - o * o);
    for (int m = 1; m <= kFHidden; ++m) erro2[m + kFHiddenBias * c] = biro2[c] * net.fdcayout[m];
  }
  for (int h = 1; h <= kFHidden; ++h) {
    double sum = 0.0;
    for (int c = 1; c <= kOutputs; ++c) sum += net.fwei2[fw2(h, c)] * erro2[h + kFHiddenBias * c];
    const double birh1 = g * (1.0 - net.fhid[h] * net.fhid[h]) * sum;
    for (int i = lo; i <= hi; ++i) errh1[i] = birh1 * net.fdcayin[fdin(i, h)];
    for (int i = lo; i <= hi; ++i)
      for (int c = 1; c <= kOutputs; ++c)
        update(net.fwei1[fw1(i, c, h)], net.ofwei1[fw1(i, c, h)], eta, mu, errh1[i] * net.finp[fip(i, c)]);
    update(net.fwei1[fw1(kBiasSlot, 1, h)], net.ofwei1[fw1(kBiasSlot, 1, h)], eta, mu, birh1);
  }
  for (int m = 1; m <= kFHidden; ++m)
    for (int c = 1; c <= kOutputs; ++c)
      update(net.fwei2[fw2(m, c)], net.ofwei2[fw2(m, c)], eta, mu, erro2[m + kFHiddenBias * c] * net.fhid[m]);
  for (int c = 1; c <= kOutputs; ++c)
    update(net.fwei2[fw2(kFHiddenBias, c)], net.ofwei2[fw2(kFHiddenBias, c)], eta, mu, biro2[c]);
}

}  // namespace kelvor
