// A part of the fast kernels' body (network/fast/kernel_body.h), which alone includes it.
// A range of residues through the first stage, and the floor a training step is measured against.

// Whether every thread's blocks are narrow enough for the pair kernels to keep both residues'
// sums in registers (the same answer on every thread).
bool pairsFit(const FirstShared& s) {
  if (kPairVectors == 0) return false;
  for (int u = 0; u < s.threads; ++u)
    for (int b = 0; b < s.slice[u]->blocks; ++b)
      if (s.slice[u]->bwidth[b] > kPairVectors * kLanes) return false;
  return true;
}

int firstRange(FirstShared& s, int t, int first, int last, bool train) {
  FirstSlice& sl = *s.slice[t];
  int pending = 0;
  Watch watch;
  if (t == 0) sl.waited = 0;
  int n = first;
  if (!train && pairsFit(s)) {
    for (; n < last; n += 2) {
      eachBlock<PairPassOp>(sl, s, n);
      activate(s, t, sl, sl.sumB, sl.hid1B, s.xhid1B);
      activate(s, t, sl, sl.sum, sl.hid1, s.xhid1);
      exchange(s, t, sl, s.xhid1, sl.hid1, s.xhid1B, sl.hid1B);
      eachBlock<PairLayer2Op>(sl, s);
      if (t == 0 && n + 1 < last && s.threads > 1 && (n == s.forceSolo || n + 1 == s.forceSolo || watch.slow(sl, 2)))
        __atomic_store_n(&s.solo, n + 1, __ATOMIC_RELAXED);
      activate(s, t, sl, sl.sumB, sl.hid2B, s.xhid2B);
      activate(s, t, sl, sl.sum, sl.hid2, s.xhid2);
      exchange(s, t, sl, s.xhid2, sl.hid2, s.xhid2B, sl.hid2B);
      double o[kOutputs];
      outputs(s, t, sl, sl.hid2B, n, o);
      outputs(s, t, sl, sl.hid2, n + 1, o);
      if (t == 0 && n == first) {
        watch.windowStart = ticks();
        sl.waited = 0;
      }
      if (s.threads > 1 && __atomic_load_n(&s.solo, __ATOMIC_RELAXED) == n + 1) return n + 1;
    }
  }
  for (; n <= last; ++n) {
    // Odd residues pass over the blocks last first: where a slice's panels of wei1 and owei1
    // exceed L2 (one thread), a step then begins on the block the last one ended on, still there.
    blocksInOrder<PassOp>(sl, (n & 1) != 0, s, pending, n);
    activate(s, t, sl, sl.sum, sl.hid1, s.xhid1);
    exchange(s, t, sl, s.xhid1, sl.hid1);
    eachBlock<Layer2Op>(sl, s, pending != 0);
    // Thread 0 decides before it publishes hidden 2, the others read it after they took it: all
    // see the same.
    if (t == 0 && n < last && s.threads > 1 && (n == s.forceSolo || watch.slow(sl)))
      __atomic_store_n(&s.solo, n, __ATOMIC_RELAXED);
    activate(s, t, sl, sl.sum, sl.hid2, s.xhid2);
    exchange(s, t, sl, s.xhid2, sl.hid2);
    outputsAndBackward(s, t, sl, n, train, pending != 0);
    pending = train ? n : 0;
    // The first residue of a range holds the other threads' wake-up from sleep: not a sign of load.
    if (t == 0 && n == first) {
      watch.windowStart = ticks();
      sl.waited = 0;
    }
    if (s.threads > 1 && __atomic_load_n(&s.solo, __ATOMIC_RELAXED) == n) {
      // Every thread finishes residue n and its update on its own slice; the engine goes on
      // alone from n + 1.
      if (pending) eachBlock<PassOp>(sl, s, pending, 0);
      return n;
    }
  }
  if (pending) eachBlock<PassOp>(sl, s, pending, 0);
  return 0;
}

void floorSteps(FirstShared& s, int t, int steps) {
  FirstSlice& sl = *s.slice[t];
  const double mu = s.momentum;
  for (int step = 0; step < steps; ++step) {
    double* w = sl.w1;
    double* p = sl.p1;
    const int count = kRows1 * sl.width;  // a multiple of kTail
    int q = 0;
    for (; q + kLanes <= count; q += kLanes) {
      const Vec delta = mu * load(p + q);
      store(w + q, load(w + q) + delta);
      store(p + q, delta);
    }
    if (q < count) {
      const Half delta = mu * load<Half>(p + q);
      store(w + q, load<Half>(w + q) + delta);
      store(p + q, delta);
    }
    barrier(s, t, sl);
  }
}
