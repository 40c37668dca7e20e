// Reference forward passes of both networks.
#include "network/reference/kernels.h"

namespace kelvor {

double classCode(double o1, double o2, double o3) {
  if (o3 >= o2) return o3 >= o1 ? 0.5 : -0.6;
  return o2 > o1 ? -0.2 : -0.6;
}

void readwin(DataStore& store, int n) {
  const int lo = store.winlo[n - 1], hi = store.winhi[n - 1];
  for (int i = lo; i <= hi; ++i) {
    const int j = n + i - store.wincen;
    for (int f = 1; f <= kFeatures; ++f) store.xin(i, f) = store.fin(j, f);
  }
  for (int c = 1; c <= kOutputs; ++c) store.targ(c) = store.fin(n, kTargetColumn - 1 + c);
}

void calcnet(Network& net, DataStore& store, int n) {
  const int lo = store.winlo[n - 1], hi = store.winhi[n - 1];
  for (int h = 1; h <= kHidden; ++h) {
    double sum = 0.0;
    for (int i = lo; i <= hi; ++i)
      for (int f = 1; f <= kFeatures; ++f) sum += (store.xin(i, f) * net.wei1[w1(i, f, h)]) * net.dcayin[din(i, h)];
    sum += net.wei1[w1(kBiasSlot, 1, h)] * store.xin(kBiasSlot, 1);
    net.hid1[h] = tfunc(net, sum);
  }
  for (int k = 1; k <= kHidden; ++k) {
    double sum = 0.0;
    for (int m = 1; m <= kHidden; ++m) sum += (net.hid1[m] * net.wei2[w2(m, k)]) * net.dcayhid[dhid(m, k)];
    sum += net.wei2[w2(kHiddenBias, k)] * net.hid1[kHiddenBias];
    net.hid2[k] = tfunc(net, sum);
  }
  for (int c = 1; c <= kOutputs; ++c) {
    double sum = 0.0;
    for (int m = 1; m <= kHidden; ++m) sum += (net.hid2[m] * net.pwei[pw(m, c)]) * net.dcayout[m];
    sum += net.pwei[pw(kHiddenBias, c)] * net.hid2[kHiddenBias];
    net.out(n, c) = tfunc(net, sum);
  }
  store.sscode[n - 1] += classCode(net.out(n, 1), net.out(n, 2), net.out(n, 3));
  store.nsscode[n - 1] += 1;
}

void readwinf(Network& net, DataStore& store, int n) {
  const int lo = store.winlo[n - 1], hi = store.winhi[n - 1];
  for (int i = lo; i <= hi; ++i)
    for (int c = 1; c <= kOutputs; ++c) net.finp[fip(i, c)] = net.out(n + i - store.wincen, c);
  for (int c = 1; c <= kOutputs; ++c) store.targ(c) = store.fin(n, kTargetColumn - 1 + c);
}

void calcnetf(Network& net, DataStore& store, int n) {
  const int lo = store.winlo[n - 1], hi = store.winhi[n - 1];
  for (int h = 1; h <= kFHidden; ++h) {
    double sum = 0.0;
    for (int i = lo; i <= hi; ++i)
      for (int c = 1; c <= kOutputs; ++c)
        sum += (net.finp[fip(i, c)] * net.fwei1[fw1(i, c, h)]) * net.fdcayin[fdin(i, h)];
    sum += net.fwei1[fw1(kBiasSlot, 1, h)];
    net.fhid[h] = tfunc(net, sum);
  }
  for (int c = 1; c <= kOutputs; ++c) {
    double sum = 0.0;
    for (int m = 1; m <= kFHidden; ++m) sum += (net.fhid[m] * net.fwei2[fw2(m, c)]) * net.fdcayout[m];
    sum += net.fwei2[fw2(kFHiddenBias, c)] * net.fhid[kFHiddenBias];
    net.fout[c] = tfunc(net, sum);
  }
  store.sscode[n - 1] += classCode(net.fout[1], net.fout[2], net.fout[3]);
  store.nsscode[n - 1] += 1;
}

}  // namespace kelvor
