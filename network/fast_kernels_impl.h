// The body of the fast kernels, compiled once per instruction set. The including file opens an
// anonymous namespace and defines, before including this:
//   kLanes         doubles per vector
//   Vec            a GCC vector of kLanes doubles
//   kBlockVectors  vectors per block: the sums of one block stay in registers
//
// Every sum runs in the order of the reference kernels and every product keeps its grouping:
// the lanes of a vector are independent neurons (or independent weights), never parts of one
// sum, and every multiply and add is a separate IEEE double operation (no contraction).
//
// A training step of residue n, per thread, on the thread's slice of the hidden neurons:
//   A  the pending wei1 update of the previous trained residue and, in the same pass over its
//      rows, the hidden-1 sums of n (its window is known); tanh; publish the slice's hid1
//   -- barrier --
//   B  hidden-2 sums of the slice's neurons, each row of copy A taking the pending wei2 update
//      just before it serves them; tanh; publish
//   -- barrier --
//   C  the three outputs and the output error terms (every thread, the same values), the
//      hidden-2 error terms (every thread, all of them), the output weights (every thread its
//      own copy), and the slice's hidden-1 error terms from wei2 with the previous residue's
//      update (copy B, each row updated just before it is read).
// The slice's share of wei2 is held twice: copy A by the columns k it sums in B, copy B by the
// rows h whose error terms it forms in C. One thread holds copy A alone, which then has every
// row and column, and forms the error terms from it in turned tiles. The updates of n wait for step n+1 (a weight row then
// moves between cache and core once where it moved twice), or for the end of the range, where
// step A alone applies them; no weight is read by a later residue before its update.
//
// This file must not be included anywhere else.

static_assert(sizeof(Vec) == kLanes * sizeof(double), "vector width");

// A vector (by default a whole one) from doubles at any alignment, and back.
template <typename V = Vec>
inline V load(const double* p) {
  V v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

template <typename V>
inline void store(double* p, const V& v) {
  __builtin_memcpy(p, &v, sizeof v);
}

// The update of one vector of weights at w with their previous changes at p, for gradient
// terms g: delta = rate * g + momentum * p, w + delta stored and returned, delta kept in p.
template <typename V>
inline V updateVector(double* w, double* p, const V& g, double rate, double momentum) {
  const V delta = rate * g + momentum * load<V>(p);
  const V nw = load<V>(w) + delta;
  store(w, nw);
  store(p, delta);
  return nw;
}

#if defined(KELVOR_VECTOR_TANH)
#include "network/exact_tanh.h"
#endif

// tanh(gain * in[i]) into out[i] for i < n, each value the bits of std::tanh; in and out may be
// the same.
inline void tanhEach(double gain, const double* in, double* out, int n) {
#if defined(KELVOR_VECTOR_TANH)
  if (vectorTanhAgrees()) return tanhVector(gain, in, out, n);
#endif
  for (int i = 0; i < n; ++i) out[i] = std::tanh(gain * in[i]);
}

bool tanhInVectors() {
#if defined(KELVOR_VECTOR_TANH)
  return vectorTanhAgrees();
#else
  return false;
#endif
}

inline double classCode(double o1, double o2, double o3) {
  if (o3 >= o2) return o3 >= o1 ? 0.5 : -0.6;
  return o2 > o1 ? -0.2 : -0.6;
}

inline const double* residueRow(const double* filin, int r) {
  return filin + static_cast<std::ptrdiff_t>(r - 1) * 38;
}
// From a row's targets (column 33) to its silent outputs (column 37, kSilentColumn of the store).
constexpr int kSilentOffset = 4;

// ---------------------------------------------------------------------------------------------
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

// A block is NB vectors of kLanes doubles, and with Tail one half vector more (kTail lanes): the
// half vectors let the threads' slices differ by half a vector, so that two threads split the
// 101 neurons 52 and 52 rather than 56 and 48. One step of a block runs `step` on each of its
// vectors in turn, with the vector type and the vector's first lane.
constexpr int kTail = kLanes / 2;
constexpr int kTailLanes = kLanes >= 4 ? kTail : 0;  // half vectors are used from four lanes up
typedef double Half __attribute__((vector_size(kTail * sizeof(double))));

// A cursor over the rows of one block's panel of R rows (`block` its first double): the whole
// vectors of row r at block + r * NB * kLanes and, with Tail, the half vector at
// block + R * NB * kLanes + r * kTail, after every row's whole vectors (the layout's bstride is
// NB * kLanes). `at<V>(o)` is the vector of type V at lane o of the current row.
template <int NB, bool Tail, typename T>
struct Rows {
  T* w;
  T* h;
  Rows(T* block, int R, int r) : w(block + r * NB * kLanes), h(Tail ? block + R * NB * kLanes + r * kTail : nullptr) {}
  void next() {
    w += NB * kLanes;
    if constexpr (Tail) h += kTail;
  }
  template <typename V>
  T* at(int o) const {
    if constexpr (sizeof(V) == sizeof(Vec)) return w + o;
    else return h;
  }
};

template <int NB, bool Tail, typename T>
Rows<NB, Tail, T> rows(T* block, int R, int r) {
  return Rows<NB, Tail, T>(block, R, r);
}

// One accumulator per vector of a block, zero to begin with.
template <int NB, bool Tail>
struct Sums {
  Vec v[NB] = {};
  Half h = {};
  template <typename V>
  V& at(int j) {
    if constexpr (sizeof(V) == sizeof(Vec)) return v[j];
    else return h;
  }
};

// Names a vector type for a step (a tag: the vector itself is never passed by value).
template <typename V>
struct VectorOf {
  using type = V;
};

template <bool Tail, typename Step, int... J>
__attribute__((always_inline)) inline void eachVectorOf(Step& step, std::integer_sequence<int, J...>) {
  (step(VectorOf<Vec>{}, J * kLanes, J), ...);
  if constexpr (Tail) step(VectorOf<Half>{}, static_cast<int>(sizeof...(J)) * kLanes, static_cast<int>(sizeof...(J)));
}

template <int NB, bool Tail, typename Step>
__attribute__((always_inline)) inline void eachVector(Step&& step) {
  eachVectorOf<Tail>(step, std::make_integer_sequence<int, NB>{});
}

#define KELVOR_VECTOR_STEP [&](auto kind, int o, [[maybe_unused]] int j) __attribute__((always_inline))

// Hidden-2 sums of the slice's neurons from copy A of wei2; with `pending`, the wei2 update of
// the previous trained residue applied to each row first.
template <int NB, bool Tail>
void layer2Block(const FirstShared& s, FirstSlice& sl, int b, bool pending) {
  const int c0 = sl.bcol[b];
  auto w = rows<NB, Tail>(sl.aw + 102 * c0, 102, 0);
  const double* d = s.band + kBandMiddle + sl.base + c0;
  Sums<NB, Tail> acc;
  if (!pending) {
    for (int m = 0; m < 101; ++m, w.next(), --d) {
      const double h = sl.hid1[m];
      eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
        using V = typename decltype(kind)::type;
        acc.template at<V>(j) += (h * load<V>(w.template at<V>(o))) * load<V>(d + o);
      });
    }
    eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
      using V = typename decltype(kind)::type;
      store(sl.sum + c0 + o, acc.template at<V>(j) + load<V>(w.template at<V>(o)) * s.h1bias);
    });
    return;
  }
  // Each row of copy A first takes the pending update, then serves the sums.
  const double eta = s.rate, mu = s.momentum;
  auto p = rows<NB, Tail>(sl.ap + 102 * c0, 102, 0);
  Sums<NB, Tail> bkv;
  eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
    using V = typename decltype(kind)::type;
    bkv.template at<V>(j) = load<V>(sl.birh2P + sl.base + c0 + o);
  });
  for (int m = 0; m < 101; ++m, w.next(), p.next(), --d) {
    const double h = sl.hid1[m], hm = sl.hid1P[m];
    eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
      using V = typename decltype(kind)::type;
      const V dv = load<V>(d + o);
      const V nw = updateVector<V>(w.template at<V>(o), p.template at<V>(o), (bkv.template at<V>(j) * dv) * hm, eta, mu);
      acc.template at<V>(j) += (h * nw) * dv;
    });
  }
  eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
    using V = typename decltype(kind)::type;
    const V nw = updateVector<V>(w.template at<V>(o), p.template at<V>(o), bkv.template at<V>(j), eta, mu);
    store(sl.sum + c0 + o, acc.template at<V>(j) + nw * s.h1bias);
  });
}

// Forward pairs. Outside training the residues are independent, so two of them share each pass
// over the weights and each exchange: the first residue of a pair in the B arrays, the second in
// the usual ones (which then hold the later residue, as after a single step). Each residue's
// sums keep their own order and grouping.

// The sums of a pair plus the bias row times its input: the first residue's into sumB, the
// second's into sum.
template <int NB, bool Tail>
inline void storePair(FirstSlice& sl, int c0, const Rows<NB, Tail, const double>& bias, double input,
                      Sums<NB, Tail>& accA, Sums<NB, Tail>& accB) {
  eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
    using V = typename decltype(kind)::type;
    const V b = load<V>(bias.template at<V>(o));
    store(sl.sumB + c0 + o, accA.template at<V>(j) + b * input);
    store(sl.sum + c0 + o, accB.template at<V>(j) + b * input);
  });
}

// The 30 rows of a window slot that only one residue of a pair has.
template <int NB, bool Tail>
inline void oneResidueRows(Rows<NB, Tail, const double> w, const Rows<NB, Tail, const double>& d, const double* x,
                           Sums<NB, Tail>& acc) {
  for (int f = 0; f < 30; ++f, w.next()) {
    const double xf = x[f];
    eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
      using V = typename decltype(kind)::type;
      acc.template at<V>(j) += (xf * load<V>(w.template at<V>(o))) * load<V>(d.template at<V>(o));
    });
  }
}

// Hidden-1 sums of residues n (into sumB) and n + 1 (into sum), one pass over wei1.
template <int NB, bool Tail>
void pairPassBlock(const FirstShared& s, FirstSlice& sl, int b, int n) {
  const int c0 = sl.bcol[b];
  const double* const W = sl.w1 + kRows1 * c0;
  const double* const D = sl.d1 + 21 * c0;
  const int alo = s.winlo[n - 1], ahi = s.winhi[n - 1];
  const int blo = s.winlo[n], bhi = s.winhi[n];
  const int ilo = alo < blo ? alo : blo;
  const int ihi = ahi > bhi ? ahi : bhi;
  Sums<NB, Tail> accA, accB;
  for (int i = ilo; i <= ihi; ++i) {
    const bool ina = alo <= i && i <= ahi;
    const bool inb = blo <= i && i <= bhi;
    auto w = rows<NB, Tail>(W, kRows1, (i - 1) * 30);
    const auto d = rows<NB, Tail>(D, 21, i - 1);
    if (ina && inb) {
      const double* xa = residueRow(s.filin, n + i - 11);
      const double* xb = residueRow(s.filin, n + 1 + i - 11);
      for (int f = 0; f < 30; ++f, w.next()) {
        const double a = xa[f], x = xb[f];
        eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
          using V = typename decltype(kind)::type;
          const V wv = load<V>(w.template at<V>(o)), dv = load<V>(d.template at<V>(o));
          accA.template at<V>(j) += (a * wv) * dv;
          accB.template at<V>(j) += (x * wv) * dv;
        });
      }
    } else if (ina) {
      oneResidueRows<NB, Tail>(w, d, residueRow(s.filin, n + i - 11), accA);
    } else {
      oneResidueRows<NB, Tail>(w, d, residueRow(s.filin, n + 1 + i - 11), accB);
    }
  }
  storePair(sl, c0, rows<NB, Tail>(W, kRows1, kBiasRow1), s.xbias, accA, accB);
}

// Hidden-2 sums of a pair: hid1B into sumB, hid1 into sum, one pass over copy A of wei2.
template <int NB, bool Tail>
void pairLayer2Block(const FirstShared& s, FirstSlice& sl, int b) {
  const int c0 = sl.bcol[b];
  auto w = rows<NB, Tail>(static_cast<const double*>(sl.aw) + 102 * c0, 102, 0);
  const double* d = s.band + kBandMiddle + sl.base + c0;
  Sums<NB, Tail> accA, accB;
  for (int m = 0; m < 101; ++m, w.next(), --d) {
    const double ha = sl.hid1B[m], hb = sl.hid1[m];
    eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
      using V = typename decltype(kind)::type;
      const V wv = load<V>(w.template at<V>(o)), dv = load<V>(d + o);
      accA.template at<V>(j) += (ha * wv) * dv;
      accB.template at<V>(j) += (hb * wv) * dv;
    });
  }
  storePair(sl, c0, w, s.h1bias, accA, accB);
}

// The rows of a square tile of kLanes vectors become its columns: one swap of off-diagonal
// blocks of S lanes per stage (S = 1, 2, 4, ...), each a pair of two-vector shuffles.
template <int S, int... L>
inline void swapBlocks(Vec& a, Vec& b, std::integer_sequence<int, L...>) {
  const Vec lo = __builtin_shufflevector(a, b, ((L & S) ? kLanes + L - S : L)...);
  const Vec hi = __builtin_shufflevector(a, b, ((L & S) ? kLanes + L : L + S)...);
  a = lo;
  b = hi;
}

template <int S>
__attribute__((always_inline)) inline void transposeStage(Vec* r) {
#pragma GCC unroll 8
  for (int i = 0; i < kLanes; ++i)
    if ((i & S) == 0) swapBlocks<S>(r[i], r[i + S], std::make_integer_sequence<int, kLanes>{});
}

__attribute__((always_inline)) inline void transpose(Vec* r) {
  if constexpr (kLanes >= 2) transposeStage<1>(r);
  if constexpr (kLanes >= 4) transposeStage<2>(r);
  if constexpr (kLanes >= 8) transposeStage<4>(r);
  static_assert(kLanes <= 8, "tiles of more than eight lanes");
}

// One thread keeps no copy B: copy A holds every row h and column k of wei2, and the hidden-1
// error sums of a block read it in tiles of kLanes rows h by kLanes columns k, turned so that
// the lanes run over h. Each lane's sum still runs over k in order, as it does from copy B. By
// then step B has applied the pending update to every row of copy A. A half vector at the end
// of the block is summed whole (its rows past the last neuron read as zero) and kept in half.
// The sums of G vectors of rows from h0 over the tiles of columns k0..k0+kn-1 (kn = kLanes when
// Full). With Edge, the rows from the last neuron on read as zero.
template <int G, bool Full, bool Edge>
__attribute__((always_inline)) inline void addTiles(const FirstShared& s, const FirstSlice& sl, int h0, const double* A,
                                                    int ks, int k0, int kn, Vec* sum) {
  const double* bk = sl.birh2 + k0;
#pragma GCC unroll 8
  for (int j = 0; j < G; ++j) {
    const int hj = h0 + j * kLanes;
    const double* row = A + hj * ks;
    Vec r[kLanes];
#pragma GCC unroll 8
    for (int l = 0; l < kLanes; ++l) r[l] = !Edge || hj + l < sl.real ? load(row + l * ks) : Vec{};
    transpose(r);
    const double* d = s.band + kBandMiddle + hj - k0;
    const int cn = Full ? kLanes : kn;
#pragma GCC unroll 8
    for (int c = 0; c < cn; ++c) sum[j] += r[c] * (bk[c] * load(d - c));
  }
}

// The sums of G vectors from h0, over every column k in order.
template <int G, bool Edge = false>
void columnSums(const FirstShared& s, const FirstSlice& sl, int h0, Vec* out) {
  Vec sum[G] = {};
  for (int kb = 0; kb < sl.blocks; ++kb) {
    const int kc0 = sl.bcol[kb], ks = sl.bstride[kb];
    for (int kk = 0; kk < sl.bwidth[kb] && kc0 + kk < 101; kk += kLanes) {
      const int k0 = kc0 + kk;
      const double* A = sl.aw + 102 * kc0 + kk;
      if (k0 + kLanes <= 101) addTiles<G, true, Edge>(s, sl, h0, A, ks, k0, kLanes, sum);
      else addTiles<G, false, Edge>(s, sl, h0, A, ks, k0, 101 - k0, sum);
    }
  }
#pragma GCC unroll 8
  for (int j = 0; j < G; ++j) out[j] = sum[j];
}

// A block's vectors two at a time: two sums in flight hide much of the latency of each one's
// chain, and the tiles of two still fit the registers (three or four spill, and run slower).
// The vector that holds the last neuron, where it has lanes past it, goes by itself.
template <int NB, bool Tail>
void copyASums(const FirstShared& s, const FirstSlice& sl, int b, Sums<NB, Tail>& acc) {
  constexpr int NV = NB + (Tail ? 1 : 0);
  const int h0 = sl.bcol[b];
  const bool edge = h0 + NV * kLanes > sl.real;
  const int whole = edge ? NV - 1 : NV;
  Vec sum[NV];
  int j = 0;
  for (; j + 2 <= whole; j += 2) columnSums<2>(s, sl, h0 + j * kLanes, sum + j);
  if (j < whole) columnSums<1>(s, sl, h0 + j * kLanes, sum + j);
  if (edge) columnSums<1, true>(s, sl, h0 + whole * kLanes, sum + whole);
#pragma GCC unroll 8
  for (int v = 0; v < NB; ++v) acc.v[v] = sum[v];
  if constexpr (Tail) __builtin_memcpy(&acc.h, &sum[NB], sizeof acc.h);
}

// The hidden-1 error sums of a block from copy B of wei2; with `pending`, each row first takes
// the previous trained residue's update.
template <int NB, bool Tail>
void copyBSums(const FirstShared& s, FirstSlice& sl, int b, bool pending, Sums<NB, Tail>& acc) {
  const int c0 = sl.bcol[b];
  auto w = rows<NB, Tail>(sl.bw + 101 * c0, 101, 0);
  const double* d = s.band + kBandMiddle + sl.base + c0;
  if (!pending) {
    for (int k = 0; k < 101; ++k, w.next(), --d) {
      const double bk = sl.birh2[k];
      eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
        using V = typename decltype(kind)::type;
        acc.template at<V>(j) += load<V>(w.template at<V>(o)) * (bk * load<V>(d + o));
      });
    }
    return;
  }
  const double eta = s.rate, mu = s.momentum;
  auto p = rows<NB, Tail>(sl.bp + 101 * c0, 101, 0);
  Sums<NB, Tail> hmv;
  eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
    using V = typename decltype(kind)::type;
    hmv.template at<V>(j) = load<V>(sl.hid1P + sl.base + c0 + o);
  });
  for (int k = 0; k < 101; ++k, w.next(), p.next(), --d) {
    const double bk = sl.birh2[k], bkp = sl.birh2P[k];
    eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
      using V = typename decltype(kind)::type;
      const V dv = load<V>(d + o);
      const V nw = updateVector<V>(w.template at<V>(o), p.template at<V>(o), (bkp * dv) * hmv.template at<V>(j), eta, mu);
      acc.template at<V>(j) += nw * (bk * dv);
    });
  }
}

// Error terms of the slice's hidden-1 neurons (from copy B, or with one thread copy A), then
// errh1 for the window of n.
template <int NB, bool Tail>
void birh1Block(const FirstShared& s, FirstSlice& sl, int b, int n, bool pending) {
  const int c0 = sl.bcol[b];
  Sums<NB, Tail> acc;
  if (s.threads == 1) copyASums<NB, Tail>(s, sl, b, acc);
  else copyBSums<NB, Tail>(s, sl, b, pending, acc);
  const double g = s.gain;
  const int lo = s.winlo[n - 1], hi = s.winhi[n - 1];
  eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
    using V = typename decltype(kind)::type;
    const V h = load<V>(sl.hid1 + sl.base + c0 + o);
    const V bi = (g * (1.0 - h * h)) * acc.template at<V>(j);
    store(sl.birh1 + c0 + o, bi);
    for (int i = lo; i <= hi; ++i)
      store(rows<NB, Tail>(sl.e1 + 21 * c0, 21, i - 1).template at<V>(o),
            bi * load<V>(rows<NB, Tail>(sl.d1 + 21 * c0, 21, i - 1).template at<V>(o)));
  });
}

// The slice's share of the wei2 update of a trained residue, in both copies (the same values
// in each), as row units of one block: units 0..100 are the rows m of copy A (the slice's
// columns k), unit 101 its bias row, units 102..202 the rows k of copy B (the slice's columns h).
// At the end of a range they run interleaved with the last step A, whose streaming of wei1
// leaves the cores idle; inside a range steps B and C apply them row by row instead. The
// residue's hid1 and birh2 are read from hid1P and birh2P. One thread, without copy B, has
// only the first 102 units.
constexpr int kWei2Units = 203;

inline int wei2UnitCount(const FirstShared& s) { return s.threads > 1 ? kWei2Units : 102; }

template <int NB, bool Tail>
void wei2Units(const FirstShared& s, FirstSlice& sl, int b, int from, int to) {
  const int c0 = sl.bcol[b];
  const double eta = s.rate, mu = s.momentum;
  // The block's hidden-2 error terms and hidden-1 outputs, the same for every row.
  Sums<NB, Tail> bkv, hmv;
  eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
    using V = typename decltype(kind)::type;
    bkv.template at<V>(j) = load<V>(sl.birh2P + sl.base + c0 + o);
    hmv.template at<V>(j) = load<V>(sl.hid1P + sl.base + c0 + o);
  });
  for (int u = from; u < to; ++u) {
    if (u < 101) {
      const auto w = rows<NB, Tail>(sl.aw + 102 * c0, 102, u), p = rows<NB, Tail>(sl.ap + 102 * c0, 102, u);
      const double* d = s.band + kBandMiddle + sl.base + c0 - u;
      const double hm = sl.hid1P[u];
      eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
        using V = typename decltype(kind)::type;
        updateVector<V>(w.template at<V>(o), p.template at<V>(o), (bkv.template at<V>(j) * load<V>(d + o)) * hm, eta, mu);
      });
    } else if (u == 101) {
      const auto w = rows<NB, Tail>(sl.aw + 102 * c0, 102, 101), p = rows<NB, Tail>(sl.ap + 102 * c0, 102, 101);
      eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
        using V = typename decltype(kind)::type;
        updateVector<V>(w.template at<V>(o), p.template at<V>(o), bkv.template at<V>(j), eta, mu);
      });
    } else {
      const int k = u - 102;
      const auto w = rows<NB, Tail>(sl.bw + 101 * c0, 101, k), p = rows<NB, Tail>(sl.bp + 101 * c0, 101, k);
      const double* d = s.band + kBandMiddle + sl.base + c0 - k;
      const double bk = sl.birh2P[k];
      eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
        using V = typename decltype(kind)::type;
        updateVector<V>(w.template at<V>(o), p.template at<V>(o), (bk * load<V>(d + o)) * hmv.template at<V>(j), eta, mu);
      });
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Step A on one block. `prev` (0: none) is the trained residue whose updates are pending, `n`
// (0: none) the residue whose hidden-1 sums are formed. The wei2 update of prev runs here only
// when there is no n (the end of a range); otherwise steps B and C of n apply it.
template <int NB, bool Tail>
void passBlock(const FirstShared& s, FirstSlice& sl, int b, int prev, int n) {
  const int c0 = sl.bcol[b];
  double* const W = sl.w1 + kRows1 * c0;
  double* const P = sl.p1 + kRows1 * c0;
  const double* const D = sl.d1 + 21 * c0;
  const double* const E = sl.e1 + 21 * c0;
  const double eta = s.rate, mu = s.momentum;

  int ulo = 22, uhi = 0, flo = 22, fhi = 0;
  if (prev) ulo = s.winlo[prev - 1], uhi = s.winhi[prev - 1];
  if (n) flo = s.winlo[n - 1], fhi = s.winhi[n - 1];
  const int ilo = ulo < flo ? ulo : flo;
  const int ihi = uhi > fhi ? uhi : fhi;

  Sums<NB, Tail> acc;
  int units = 0;
  for (int i = ilo; i <= ihi; ++i) {
    if (prev && !n) {
      const int upto = wei2UnitCount(s) * (i - ilo + 1) / (ihi - ilo + 1);
      wei2Units<NB, Tail>(s, sl, b, units, upto);
      units = upto;
    }
    const bool up = ulo <= i && i <= uhi;
    const bool fw = flo <= i && i <= fhi;
    auto w = rows<NB, Tail>(W, kRows1, (i - 1) * 30), p = rows<NB, Tail>(P, kRows1, (i - 1) * 30);
    const auto d = rows<NB, Tail>(D, 21, i - 1), e = rows<NB, Tail>(E, 21, i - 1);
    if (up && fw) {
      const double* xu = residueRow(s.filin, prev + i - 11);
      const double* xf = residueRow(s.filin, n + i - 11);
      // errh1 and dcayin of slot i stay in registers over its 30 rows: the rows then load only
      // wei1 and owei1.
      Sums<NB, Tail> ei, di;
      eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
        using V = typename decltype(kind)::type;
        ei.template at<V>(j) = load<V>(e.template at<V>(o));
        di.template at<V>(j) = load<V>(d.template at<V>(o));
      });
      for (int f = 0; f < 30; ++f, w.next(), p.next()) {
        const double a = xu[f], x = xf[f];
        eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
          using V = typename decltype(kind)::type;
          double* const wo = w.template at<V>(o);
          double* const po = p.template at<V>(o);
          const V g = ei.template at<V>(j) * a;
          const V delta = eta * g + mu * load<V>(po);
          const V nw = load<V>(wo) + delta;
          store(wo, nw);
          store(po, delta);
          acc.template at<V>(j) += (x * nw) * di.template at<V>(j);
        });
      }
    } else if (up) {
      const double* xu = residueRow(s.filin, prev + i - 11);
      for (int f = 0; f < 30; ++f, w.next(), p.next()) {
        const double a = xu[f];
        eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
          using V = typename decltype(kind)::type;
          double* const wo = w.template at<V>(o);
          double* const po = p.template at<V>(o);
          const V g = load<V>(e.template at<V>(o)) * a;
          const V delta = eta * g + mu * load<V>(po);
          store(wo, load<V>(wo) + delta);
          store(po, delta);
        });
      }
    } else if (fw) {
      const double* xf = residueRow(s.filin, n + i - 11);
      for (int f = 0; f < 30; ++f, w.next()) {
        const double x = xf[f];
        eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
          using V = typename decltype(kind)::type;
          acc.template at<V>(j) += (x * load<V>(w.template at<V>(o))) * load<V>(d.template at<V>(o));
        });
      }
    }
  }

  const auto w = rows<NB, Tail>(W, kRows1, kBiasRow1), p = rows<NB, Tail>(P, kRows1, kBiasRow1);
  eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
    using V = typename decltype(kind)::type;
    double* const wo = w.template at<V>(o);
    double* const po = p.template at<V>(o);
    V bias = load<V>(wo);
    if (prev) {
      const V delta = eta * load<V>(sl.birh1 + c0 + o) + mu * load<V>(po);
      bias = bias + delta;
      store(wo, bias);
      store(po, delta);
    }
    if (n) store(sl.sum + c0 + o, acc.template at<V>(j) + bias * s.xbias);
  });
}

#undef KELVOR_VECTOR_STEP

// Runs Op<NB, Tail>::run for every block of the slice, NB being the block's whole vectors and
// Tail whether it ends in a half vector.
template <template <int, bool> class Op, int NB, typename... Args>
inline void blockOf(int vectors, bool tail, FirstSlice& sl, int b, const Args&... args) {
  if constexpr (NB > kBlockVectors) {
    __builtin_trap();
  } else if (vectors == NB) {
    if (tail) Op<NB, true>::run(sl, b, args...);
    else Op<NB, false>::run(sl, b, args...);
  } else {
    blockOf<Op, NB + 1>(vectors, tail, sl, b, args...);
  }
}

template <template <int, bool> class Op, typename... Args>
void blocksInOrder(FirstSlice& sl, bool backwards, const Args&... args) {
  for (int q = 0; q < sl.blocks; ++q) {
    const int b = backwards ? sl.blocks - 1 - q : q;
    blockOf<Op, 1>(sl.bwidth[b] / kLanes, sl.bwidth[b] % kLanes != 0, sl, b, args...);
  }
}

template <template <int, bool> class Op, typename... Args>
void eachBlock(FirstSlice& sl, const Args&... args) {
  blocksInOrder<Op>(sl, false, args...);
}

template <int NB, bool Tail>
struct PassOp {
  static void run(FirstSlice& sl, int b, const FirstShared& s, int prev, int n) { passBlock<NB, Tail>(s, sl, b, prev, n); }
};
template <int NB, bool Tail>
struct PairPassOp {
  static void run(FirstSlice& sl, int b, const FirstShared& s, int n) { pairPassBlock<NB, Tail>(s, sl, b, n); }
};
template <int NB, bool Tail>
struct PairLayer2Op {
  static void run(FirstSlice& sl, int b, const FirstShared& s) { pairLayer2Block<NB, Tail>(s, sl, b); }
};
template <int NB, bool Tail>
struct Layer2Op {
  static void run(FirstSlice& sl, int b, const FirstShared& s, bool pending) { layer2Block<NB, Tail>(s, sl, b, pending); }
};
template <int NB, bool Tail>
struct Birh1Op {
  static void run(FirstSlice& sl, int b, const FirstShared& s, int n, bool pending) {
    birh1Block<NB, Tail>(s, sl, b, n, pending);
  }
};

inline void update(double& w, double& p, double rate, double momentum, double g) {
  const double delta = rate * g + momentum * p;
  w = w + delta;
  p = delta;
}

// Step C: the outputs of n (thread 0 stores them and scores), then with `train` the error terms
// and every update of this thread's share except wei1.
// The three outputs of n from hid2 (thread 0 stores them and scores).
void outputs(FirstShared& s, int t, const FirstSlice& sl, const double* hid2, int n, double o[3]) {
  const double* pwei = sl.pwei;
  // The three sums side by side, each in its own order: three chains of additions overlap.
  double sum[3] = {0.0, 0.0, 0.0};
  for (int m = 0; m < 101; ++m) {
    const double h = hid2[m], dm = s.dcayout[m];
    sum[0] += (h * pwei[m]) * dm;
    sum[1] += (h * pwei[m + 102]) * dm;
    sum[2] += (h * pwei[m + 204]) * dm;
  }
  for (int c = 0; c < 3; ++c) o[c] = sum[c] + pwei[101 + 102 * c] * s.h2bias;
  tanhEach(s.gain, o, o, 3);
  if (t == 0) {
    double* out = s.outs + static_cast<std::ptrdiff_t>(n - 1) * 3;
    out[0] = o[0];
    out[1] = o[1];
    out[2] = o[2];
    s.sscode[n - 1] += classCode(o[0], o[1], o[2]);
    s.nsscode[n - 1] += 1;
  }
}

void outputsAndBackward(FirstShared& s, int t, FirstSlice& sl, int n, bool train, bool pending) {
  double o[3];
  outputs(s, t, sl, sl.hid2, n, o);
  if (!train) return;

  const double* pwei = sl.pwei;
  const double g = s.gain, eta = s.rate, mu = s.momentum;
  const double* targ = residueRow(s.filin, n) + 32;
  const int silent = static_cast<int>(targ[kSilentOffset]);  // outputs that learn nothing here
  double biro2[3];
  for (int c = 0; c < 3; ++c) biro2[c] = (silent >> c & 1) ? 0.0 : g * (targ[c] - o[c]) * (1.0 - o[c] * o[c]);
  double* birh2 = sl.birh2;
  for (int k = 0; k < 101; ++k) {
    double sum = 0.0;
    for (int c = 0; c < 3; ++c) sum += pwei[k + 102 * c] * (biro2[c] * s.dcayout[k]);
    birh2[k] = g * (1.0 - sl.hid2[k] * sl.hid2[k]) * sum;
  }
  eachBlock<Birh1Op>(sl, s, n, pending);
  double* pw = sl.pwei;
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 101; ++k)
      update(pw[k + 102 * c], pw[k + 102 * (c + 3)], eta, mu, (biro2[c] * s.dcayout[k]) * sl.hid2[k]);
  for (int c = 0; c < 3; ++c) update(pw[101 + 102 * c], pw[101 + 102 * (c + 3)], eta, mu, biro2[c]);
  __builtin_memcpy(sl.hid1P, sl.hid1, kPadded * sizeof(double));
  __builtin_memcpy(sl.birh2P, sl.birh2, kPadded * sizeof(double));
}

// Thread 0's watch: whether the windows just ended, kSlowWindows of them in a row, each had its
// waits at the barriers outweigh its own work (kSlowWait; with two threads each doing half, a
// wait of 0.8 times the work is about where one thread would have been as fast). A window is long
// (some 15 ms on two cores): a process that shares the cores takes them in time slices of a few
// milliseconds, so shorter windows see its load as passing interruptions between quiet ones. One
// slow window alone is no sign of load: a quiet host takes a core away now and then for tens of
// milliseconds at a stretch, which all falls on a single residue.
struct Watch {
  std::int64_t windowStart = 0;
  int inWindow = 0;
  int slowInRow = 0;

  bool slow(FirstSlice& sl, int residues = 1) {
    inWindow += residues;
    if (inWindow < kWatchWindow) return false;
    const std::int64_t now = ticks();
    const double total = static_cast<double>(now - windowStart);
    const double wait = static_cast<double>(sl.waited);
    windowStart = now;
    inWindow = 0;
    sl.waited = 0;
    slowInRow = wait > kSlowWait * (total - wait) ? slowInRow + 1 : 0;
    return slowInRow >= kSlowWindows;
  }
};

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
      if (t == 0 && n + 1 < last && s.threads > 1 &&
          (n == s.forceSolo || n + 1 == s.forceSolo || watch.slow(sl, 2)))
        __atomic_store_n(&s.solo, n + 1, __ATOMIC_RELAXED);
      activate(s, t, sl, sl.sumB, sl.hid2B, s.xhid2B);
      activate(s, t, sl, sl.sum, sl.hid2, s.xhid2);
      exchange(s, t, sl, s.xhid2, sl.hid2, s.xhid2B, sl.hid2B);
      double o[3];
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

// ---------------------------------------------------------------------------------------------
// The filter: lanes across its hidden neurons, one thread.
constexpr int kFilterVectors = (21 + kLanes - 1) / kLanes;

void filterForward(FilterState& f, int n) {
  const int lo = f.winlo[n - 1], hi = f.winhi[n - 1];
  const int bw = f.width;
  Vec acc[kFilterVectors];
#pragma GCC unroll 16
  for (int j = 0; j < kFilterVectors; ++j) acc[j] = Vec{};
  for (int i = lo; i <= hi; ++i) {
    const double* x = f.outs + static_cast<std::ptrdiff_t>(n + i - 12) * 3;
    const double* d = f.d1 + (i - 1) * bw;
    for (int c = 0; c < 3; ++c) {
      const double* w = f.w1 + (3 * (i - 1) + c) * bw;
      const double xc = x[c];
#pragma GCC unroll 16
      for (int j = 0; j < kFilterVectors; ++j) acc[j] += (xc * load(w + j * kLanes)) * load(d + j * kLanes);
    }
  }
#pragma GCC unroll 16
  for (int j = 0; j < kFilterVectors; ++j) store(f.sum + j * kLanes, acc[j] + load(f.w1 + 63 * bw + j * kLanes));
  tanhEach(f.gain, f.sum, f.fhid, 21);
  for (int c = 0; c < 3; ++c) {
    double sum = 0.0;
    for (int m = 0; m < 21; ++m) sum += (f.fhid[m] * f.w2[m + 22 * c]) * f.dcayout[m];
    f.fout[c] = sum + f.w2[21 + 22 * c] * f.fbias;
  }
  tanhEach(f.gain, f.fout, f.fout, 3);
  f.sscode[n - 1] += classCode(f.fout[0], f.fout[1], f.fout[2]);
  f.nsscode[n - 1] += 1;
}

void filterBackward(FilterState& f, int n) {
  const double g = f.gain, eta = f.rate, mu = f.momentum;
  const int lo = f.winlo[n - 1], hi = f.winhi[n - 1];
  const int bw = f.width;
  const double* targ = residueRow(f.filin, n) + 32;
  double biro2[3];
  for (int c = 0; c < 3; ++c) biro2[c] = g * (targ[c] - f.fout[c]) * (1.0 - f.fout[c] * f.fout[c]);
  for (int h = 0; h < 21; ++h) {
    double sum = 0.0;
    for (int c = 0; c < 3; ++c) sum += f.w2[h + 22 * c] * (biro2[c] * f.dcayout[h]);
    f.birh1[h] = g * (1.0 - f.fhid[h] * f.fhid[h]) * sum;
  }
  for (int i = lo; i <= hi; ++i) {
    const double* x = f.outs + static_cast<std::ptrdiff_t>(n + i - 12) * 3;
    const double* d = f.d1 + (i - 1) * bw;
    Vec e[kFilterVectors];
#pragma GCC unroll 16
    for (int j = 0; j < kFilterVectors; ++j) e[j] = load(f.birh1 + j * kLanes) * load(d + j * kLanes);
    for (int c = 0; c < 3; ++c) {
      double* w = f.w1 + (3 * (i - 1) + c) * bw;
      double* p = f.p1 + (3 * (i - 1) + c) * bw;
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
    double* w = f.w1 + 63 * bw + j * kLanes;
    double* p = f.p1 + 63 * bw + j * kLanes;
    const Vec delta = eta * load(f.birh1 + j * kLanes) + mu * load(p);
    store(w, load(w) + delta);
    store(p, delta);
  }
  for (int m = 0; m < 21; ++m)
    for (int c = 0; c < 3; ++c)
      update(f.w2[m + 22 * c], f.p2[m + 22 * c], eta, mu, (biro2[c] * f.dcayout[m]) * f.fhid[m]);
  for (int c = 0; c < 3; ++c) update(f.w2[21 + 22 * c], f.p2[21 + 22 * c], eta, mu, biro2[c]);
}

void filterRange(FilterState& f, int first, int last, bool train) {
  for (int n = first; n <= last; ++n) {
    filterForward(f, n);
    if (train) filterBackward(f, n);
  }
}
