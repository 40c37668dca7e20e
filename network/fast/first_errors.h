// A part of the fast kernels' body (network/fast/kernel_body.h), which alone includes it.
// Step C of the first stage, per block: the hidden-1 error terms and the slice's share of the
// wei2 update.

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
    for (int kk = 0; kk < sl.bwidth[kb] && kc0 + kk < kHidden; kk += kLanes) {
      const int k0 = kc0 + kk;
      const double* A = sl.aw + kRowsA * kc0 + kk;
      if (k0 + kLanes <= kHidden)
        addTiles<G, true, Edge>(s, sl, h0, A, ks, k0, kLanes, sum);
      else
        addTiles<G, false, Edge>(s, sl, h0, A, ks, k0, kHidden - k0, sum);
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
  auto w = rows<NB, Tail>(sl.bw + kRowsB * c0, kRowsB, 0);
  const double* d = s.band + kBandMiddle + sl.base + c0;
  if (!pending) {
    for (int k = 0; k < kHidden; ++k, w.next(), --d) {
      const double bk = sl.birh2[k];
      eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
        using V = typename decltype(kind)::type;
        acc.template at<V>(j) += load<V>(w.template at<V>(o)) * (bk * load<V>(d + o));
      });
    }
    return;
  }
  const double eta = s.rate, mu = s.momentum;
  auto p = rows<NB, Tail>(sl.bp + kRowsB * c0, kRowsB, 0);
  Sums<NB, Tail> hmv;
  eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
    using V = typename decltype(kind)::type;
    hmv.template at<V>(j) = load<V>(sl.hid1P + sl.base + c0 + o);
  });
  for (int k = 0; k < kHidden; ++k, w.next(), p.next(), --d) {
    const double bk = sl.birh2[k], bkp = sl.birh2P[k];
    eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
      using V = typename decltype(kind)::type;
      const V dv = load<V>(d + o);
      const V nw =
          updateVector<V>(w.template at<V>(o), p.template at<V>(o), (bkp * dv) * hmv.template at<V>(j), eta, mu);
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
  if (s.threads == 1)
    copyASums<NB, Tail>(s, sl, b, acc);
  else
    copyBSums<NB, Tail>(s, sl, b, pending, acc);
  const double g = s.gain;
  const int lo = s.winlo[n - 1], hi = s.winhi[n - 1];
  eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
    using V = typename decltype(kind)::type;
    const V h = load<V>(sl.hid1 + sl.base + c0 + o);
    const V bi = (g * (1.0 - h * h)) * acc.template at<V>(j);
    store(sl.birh1 + c0 + o, bi);
    for (int i = lo; i <= hi; ++i)
      store(rows<NB, Tail>(sl.e1 + kRowsIn * c0, kRowsIn, i - 1).template at<V>(o),
            bi * load<V>(rows<NB, Tail>(sl.d1 + kRowsIn * c0, kRowsIn, i - 1).template at<V>(o)));
  });
}

// The slice's share of the wei2 update of a trained residue, in both copies (the same values
// in each), as row units of one block: units 0..100 are the rows m of copy A (the slice's
// columns k), unit 101 its bias row, units 102..202 the rows k of copy B (the slice's columns h).
// At the end of a range they run interleaved with the last step A, whose streaming of wei1
// leaves the cores idle; inside a range steps B and C apply them row by row instead. The
// residue's hid1 and birh2 are read from hid1P and birh2P. One thread, without copy B, has
// only the first 102 units.
constexpr int kWei2Units = kRowsA + kRowsB;

inline int wei2UnitCount(const FirstShared& s) { return s.threads > 1 ? kWei2Units : kRowsA; }

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
    if (u < kHidden) {
      const auto w = rows<NB, Tail>(sl.aw + kRowsA * c0, kRowsA, u), p = rows<NB, Tail>(sl.ap + kRowsA * c0, kRowsA, u);
      const double* d = s.band + kBandMiddle + sl.base + c0 - u;
      const double hm = sl.hid1P[u];
      eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
        using V = typename decltype(kind)::type;
        updateVector<V>(w.template at<V>(o), p.template at<V>(o), (bkv.template at<V>(j) * load<V>(d + o)) * hm, eta,
                        mu);
      });
    } else if (u == kHidden) {
      const auto w = rows<NB, Tail>(sl.aw + kRowsA * c0, kRowsA, kHidden),
                 p = rows<NB, Tail>(sl.ap + kRowsA * c0, kRowsA, kHidden);
      eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
        using V = typename decltype(kind)::type;
        updateVector<V>(w.template at<V>(o), p.template at<V>(o), bkv.template at<V>(j), eta, mu);
      });
    } else {
      const int k = u - kRowsA;
      const auto w = rows<NB, Tail>(sl.bw + kRowsB * c0, kRowsB, k), p = rows<NB, Tail>(sl.bp + kRowsB * c0, kRowsB, k);
      const double* d = s.band + kBandMiddle + sl.base + c0 - k;
      const double bk = sl.birh2P[k];
      eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
        using V = typename decltype(kind)::type;
        updateVector<V>(w.template at<V>(o), p.template at<V>(o), (bk * load<V>(d + o)) * hmv.template at<V>(j), eta,
                        mu);
      });
    }
  }
}

template <int NB, bool Tail>
struct Birh1Op {
  static void run(FirstSlice& sl, int b, const FirstShared& s, int n, bool pending) {
    birh1Block<NB, Tail>(s, sl, b, n, pending);
  }
};
