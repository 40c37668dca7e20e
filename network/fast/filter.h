// A part of the fast kernels' body (network/fast/kernel_body.h), which alone includes it.
// The filter: lanes across its hidden neurons, one thread.

constexpr int kFilterVectors = (kFHidden + kLanes - 1) / kLanes;

void filterForward(FilterState& f, int n) {
  const int lo = f.winlo[n - 1], hi = f.winhi[n - 1];
  const int bw = f.width;
  Vec acc[kFilterVectors];
#pragma GCC unroll 16
  for (int j = 0; j < kFilterVectors; ++j) acc[j] = Vec{};
  for (int i = lo; i <= hi; ++i) {
    const double* x = f.outs + static_cast<std::ptrdiff_t>(n + i - kWinCentre - 1) * kOutputs;
    const double* d = f.d1 + (i - 1) * bw;
    for (int c = 0; c < kOutputs; ++c) {
      const double* w = f.w1 + (kOutputs * (i - 1) + c) * bw;
      const double xc = x[c];
#pragma GCC unroll 16
      for (int j = 0; j < kFilterVectors; ++j) acc[j] += (xc * load(w + j * kLanes)) * load(d + j * kLanes);
    }
  }
#pragma GCC unroll 16
  for (int j = 0; j < kFilterVectors; ++j)
    store(f.sum + j * kLanes, acc[j] + load(f.w1 + kFilterBiasRow * bw + j * kLanes));
  tanhEach(f.gain, f.sum, f.fhid, kFHidden);
  for (int c = 0; c < kOutputs; ++c) {
    double sum = 0.0;
    for (int m = 0; m < kFHidden; ++m) sum += (f.fhid[m] * f.w2[m + kFHiddenBias * c]) * f.dcayout[m];
    f.fout[c] = sum + f.w2[kFHidden + kFHiddenBias * c] * f.fbias;
  }
  tanhEach(f.gain, f.fout, f.fout, kOutputs);
  f.sscode[n - 1] += classCode(f.fout[0], f.fout[1], f.fout[2]);
  f.nsscode[n - 1] += 1;
}

void filterBackward(FilterState& f, int n) {
  const double g = f.gain, eta = f.rate, mu = f.momentum;
  const int lo = f.winlo[n - 1], hi = f.winhi[n - 1];
  const int bw = f.width;
  const double* targ = residueRow(f.filin, n) + kTargetOffset;
  double biro2[kOutputs];
  for (int c = 0; c < kOutputs; ++c) biro2[c] = g * (targ[c] - f.fout[c]) * (1.0 - f.fout[c] * f.fout[c]);
  for (int h = 0; h < kFHidden; ++h) {
    double sum = 0.0;
    for (int c = 0; c < kOutputs; ++c) sum += f.w2[h + kFHiddenBias * c] * (biro2[c] * f.dcayout[h]);
    f.birh1[h] = g * (1.0 - f.fhid[h] * f.fhid[h]) * sum;
  }
  for (int i = lo; i <= hi; ++i) {
    const double* x = f.outs + static_cast<std::ptrdiff_t>(n + i - kWinCentre - 1) * kOutputs;
    const double* d = f.d1 + (i - 1) * bw;
    Vec e[kFilterVectors];
#pragma GCC unroll 16
    for (int j = 0; j < kFilterVectors; ++j) e[j] = load(f.birh1 + j * kLanes) * load(d + j * kLanes);
    for (int c = 0; c < kOutputs; ++c) {
      double* w = f.w1 + (kOutputs * (i - 1) + c) * bw;
      double* p = f.p1 + (kOutputs * (i - 1) + c) * bw;
      const double xc = x[c];
#pragma GCC unroll 16
      for (int j = 0; j < kFilterVectors; ++j) {
        const Vec delta = eta * (e[j] * xc) + mu * load(p + j * kLanes);
        store(w + j * kLanes, load(w + j * kLanes) + delta);
        store(p + j * kLanes, delta);
      }
    }
  }
#pragma GCC unroll 16
  for (int j = 0; j < kFilterVectors; ++j) {
    double* w = f.w1 + kFilterBiasRow * bw + j * kLanes;
    double* p = f.p1 + kFilterBiasRow * bw + j * kLanes;
    const Vec delta = eta * load(f.birh1 + j * kLanes) + mu * load(p);
    store(w, load(w) + delta);
    store(p, delta);
  }
  for (int m = 0; m < kFHidden; ++m)
    for (int c = 0; c < kOutputs; ++c)
      update(f.w2[m + kFHiddenBias * c], f.p2[m + kFHiddenBias * c], eta, mu, (biro2[c] * f.dcayout[m]) * f.fhid[m]);
  for (int c = 0; c < kOutputs; ++c)
    update(f.w2[kFHidden + kFHiddenBias * c], f.p2[kFHidden + kFHiddenBias * c], eta, mu, biro2[c]);
}

void filterRange(FilterState& f, int first, int last, bool train) {
  for (int n = first; n <= last; ++n) {
    filterForward(f, n);
    if (train) filterBackward(f, n);
  }
}
