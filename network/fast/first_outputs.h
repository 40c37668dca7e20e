// A part of the fast kernels' body (network/fast/kernel_body.h), which alone includes it.
// Step C of the first stage, per thread: the outputs, their error terms and the output layer.

// The three outputs of n from hid2 (thread 0 stores them and scores).
void outputs(FirstShared& s, int t, const FirstSlice& sl, const double* hid2, int n, double o[kOutputs]) {
  const double* pwei = sl.pwei;
  // The three sums side by side, each in its own order: three chains of additions overlap.
  double sum[kOutputs] = {0.0, 0.0, 0.0};
  for (int m = 0; m < kHidden; ++m) {
    const double h = hid2[m], dm = s.dcayout[m];
    sum[0] += (h * pwei[m]) * dm;
    sum[1] += (h * pwei[m + kHiddenBias]) * dm;
    sum[2] += (h * pwei[m + 2 * kHiddenBias]) * dm;
  }
  for (int c = 0; c < kOutputs; ++c) o[c] = sum[c] + pwei[kHidden + kHiddenBias * c] * s.h2bias;
  tanhEach(s.gain, o, o, kOutputs);
  if (t == 0) {
    double* out = s.outs + static_cast<std::ptrdiff_t>(n - 1) * kOutputs;
    out[0] = o[0];
    out[1] = o[1];
    out[2] = o[2];
    s.sscode[n - 1] += classCode(o[0], o[1], o[2]);
    s.nsscode[n - 1] += 1;
  }
}

// Step C: the outputs of n, then with `train` the error terms and every update of this thread's
// share except wei1.
void outputsAndBackward(FirstShared& s, int t, FirstSlice& sl, int n, bool train, bool pending) {
  double o[kOutputs];
  outputs(s, t, sl, sl.hid2, n, o);
  if (!train) return;

  const double* pwei = sl.pwei;
  const double g = s.gain, eta = s.rate, mu = s.momentum;
  const double* targ = residueRow(s.filin, n) + kTargetOffset;
  const int silent = static_cast<int>(targ[kSilentOffset]);  // outputs that learn nothing here
  double biro2[kOutputs];
  for (int c = 0; c < kOutputs; ++c) biro2[c] = (silent >> c & 1) ? 0.0 : g * (targ[c] - o[c]) * (1.0 - o[c] * o[c]);
  double* birh2 = sl.birh2;
  for (int k = 0; k < kHidden; ++k) {
    double sum = 0.0;
    for (int c = 0; c < kOutputs; ++c) sum += pwei[k + kHiddenBias * c] * (biro2[c] * s.dcayout[k]);
    birh2[k] = g * (1.0 - sl.hid2[k] * sl.hid2[k]) * sum;
  }
  eachBlock<Birh1Op>(sl, s, n, pending);
  double* pw = sl.pwei;
  for (int c = 0; c < kOutputs; ++c)
    for (int k = 0; k < kHidden; ++k)
      update(pw[k + kHiddenBias * c], pw[k + kHiddenBias * (c + kOutputs)], eta, mu,
             (biro2[c] * s.dcayout[k]) * sl.hid2[k]);
  for (int c = 0; c < kOutputs; ++c)
    update(pw[kHidden + kHiddenBias * c], pw[kHidden + kHiddenBias * (c + kOutputs)], eta, mu, biro2[c]);
  __builtin_memcpy(sl.hid1P, sl.hid1, kPadded * sizeof(double));
  __builtin_memcpy(sl.birh2P, sl.birh2, kPadded * sizeof(double));
}
