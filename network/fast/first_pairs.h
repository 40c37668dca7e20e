// A part of the fast kernels' body (network/fast/kernel_body.h), which alone includes it.
// Forward pairs of the first stage: two residues share every pass over the weights.

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
  for (int f = 0; f < kFeatures; ++f, w.next()) {
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
  const double* const D = sl.d1 + kRowsIn * c0;
  const int alo = s.winlo[n - 1], ahi = s.winhi[n - 1];
  const int blo = s.winlo[n], bhi = s.winhi[n];
  const int ilo = alo < blo ? alo : blo;
  const int ihi = ahi > bhi ? ahi : bhi;
  Sums<NB, Tail> accA, accB;
  for (int i = ilo; i <= ihi; ++i) {
    const bool ina = alo <= i && i <= ahi;
    const bool inb = blo <= i && i <= bhi;
    auto w = rows<NB, Tail>(W, kRows1, (i - 1) * kFeatures);
    const auto d = rows<NB, Tail>(D, kRowsIn, i - 1);
    if (ina && inb) {
      const double* xa = residueRow(s.filin, n + i - kWinCentre);
      const double* xb = residueRow(s.filin, n + 1 + i - kWinCentre);
      for (int f = 0; f < kFeatures; ++f, w.next()) {
        const double a = xa[f], x = xb[f];
        eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
          using V = typename decltype(kind)::type;
          const V wv = load<V>(w.template at<V>(o)), dv = load<V>(d.template at<V>(o));
          accA.template at<V>(j) += (a * wv) * dv;
          accB.template at<V>(j) += (x * wv) * dv;
        });
      }
    } else if (ina) {
      oneResidueRows<NB, Tail>(w, d, residueRow(s.filin, n + i - kWinCentre), accA);
    } else {
      oneResidueRows<NB, Tail>(w, d, residueRow(s.filin, n + 1 + i - kWinCentre), accB);
    }
  }
  storePair(sl, c0, rows<NB, Tail>(W, kRows1, kBiasRow1), s.xbias, accA, accB);
}

// Hidden-2 sums of a pair: hid1B into sumB, hid1 into sum, one pass over copy A of wei2.
template <int NB, bool Tail>
void pairLayer2Block(const FirstShared& s, FirstSlice& sl, int b) {
  const int c0 = sl.bcol[b];
  auto w = rows<NB, Tail>(static_cast<const double*>(sl.aw) + kRowsA * c0, kRowsA, 0);
  const double* d = s.band + kBandMiddle + sl.base + c0;
  Sums<NB, Tail> accA, accB;
  for (int m = 0; m < kHidden; ++m, w.next(), --d) {
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

template <int NB, bool Tail>
struct PairPassOp {
  static void run(FirstSlice& sl, int b, const FirstShared& s, int n) { pairPassBlock<NB, Tail>(s, sl, b, n); }
};
template <int NB, bool Tail>
struct PairLayer2Op {
  static void run(FirstSlice& sl, int b, const FirstShared& s) { pairLayer2Block<NB, Tail>(s, sl, b); }
};
