// A part of the fast kernels' body (network/fast/kernel_body.h), which alone includes it.
// The threads of a range meet: the clock, the barrier and the exchange of a layer's outputs.

// A clock for comparing durations within one run: the time-stamp counter where there is one.
inline std::int64_t ticks() {
#if defined(__x86_64__) || defined(__i386__)
  return static_cast<std::int64_t>(__builtin_ia32_rdtsc());
#else
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
#endif
}

// Spins until `word` (another thread's) reaches `goal`, yielding the core now and then.
inline void awaitPhase(const std::int64_t& word, std::int64_t goal) {
  int spins = 0;
  while (__atomic_load_n(&word, __ATOMIC_ACQUIRE) < goal) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
    if (++spins == 256) {
      sched_yield();
      spins = 0;
    }
  }
}

// Barrier between the threads of one range: each thread raises its own counter and waits until
// every other counter has reached it. Thread 0 adds the time it waited to sl.waited.
void barrier(FirstShared& s, int t, FirstSlice& sl) {
  if (s.threads == 1) return;
  const std::int64_t goal = ++sl.phase;
  __atomic_store_n(&s.arrival[t].count, goal, __ATOMIC_RELEASE);
  const std::int64_t start = t == 0 ? ticks() : 0;
  for (int u = 0; u < s.threads; ++u)
    if (u != t) awaitPhase(s.arrival[u].count, goal);
  if (t == 0) sl.waited += ticks() - start;
}

// Applies tanh(gain * sum) to the slice's neurons and publishes them for the next phase, line by
// line, the phase of a line written after its values.
void activate(FirstShared& s, int t, FirstSlice& sl, const double* sums, double* whole, ExchangeLine* lines) {
  ExchangeLine* mine = lines + t * kExchangeLines;
  const std::int64_t goal = sl.phase + 1;
  double* h = whole + sl.base;
  tanhEach(s.gain, sums, h, sl.real);
  if (s.threads == 1) return;
  for (int q0 = 0; q0 < sl.real; q0 += kLineValues) {
    ExchangeLine& line = mine[q0 / kLineValues];
    const int n = sl.real - q0 < kLineValues ? sl.real - q0 : kLineValues;
    for (int v = 0; v < n; ++v) line.value[v] = h[q0 + v];
    __atomic_store_n(&line.phase, goal, __ATOMIC_RELEASE);
  }
}

// Takes every other thread's lines of phase `goal` into this thread's whole array as each arrives,
// the phase in a line standing for its values.
void gather(const FirstShared& s, int t, std::int64_t goal, const ExchangeLine* lines, double* whole) {
  for (int u = 0; u < s.threads; ++u) {
    if (u == t) continue;
    const FirstSlice& o = *s.slice[u];
    const ExchangeLine* theirs = lines + u * kExchangeLines;
    for (int q0 = 0; q0 < o.real; q0 += kLineValues) {
      const ExchangeLine& line = theirs[q0 / kLineValues];
      awaitPhase(line.phase, goal);
      const int n = o.real - q0 < kLineValues ? o.real - q0 : kLineValues;
      for (int v = 0; v < n; ++v) whole[o.base + q0 + v] = line.value[v];
    }
  }
}

// The barrier after a layer and the gathering of its outputs in one (with `linesB`, those of the
// first residue of a forward pair as well, published in the same phase). Thread 0 adds the time
// it waited to sl.waited.
void exchange(FirstShared& s, int t, FirstSlice& sl, const ExchangeLine* lines, double* whole,
              const ExchangeLine* linesB = nullptr, double* wholeB = nullptr) {
  if (s.threads == 1) return;
  const std::int64_t goal = ++sl.phase;
  const std::int64_t start = t == 0 ? ticks() : 0;
  if (linesB) gather(s, t, goal, linesB, wholeB);
  gather(s, t, goal, lines, whole);
  if (t == 0) sl.waited += ticks() - start;
}
