// A part of the fast kernels' body (network/fast/kernel_body.h), which alone includes it.
// Step A of the first stage: the pending wei1 update and the hidden-1 sums in one pass.

// Step A on one block. `prev` (0: none) is the trained residue whose updates are pending, `n`
// (0: none) the residue whose hidden-1 sums are formed. The wei2 update of prev runs here only
// when there is no n (the end of a range); otherwise steps B and C of n apply it.
template <int NB, bool Tail>
void passBlock(const FirstShared& s, FirstSlice& sl, int b, int prev, int n) {
  const int c0 = sl.bcol[b];
  double* const W = sl.w1 + kRows1 * c0;
  double* const P = sl.p1 + kRows1 * c0;
  const double* const D = sl.d1 + kRowsIn * c0;
  const double* const E = sl.e1 + kRowsIn * c0;
  const double eta = s.rate, mu = s.momentum;

  int ulo = kSlots, uhi = 0, flo = kSlots, fhi = 0;  // no slot
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
    auto w = rows<NB, Tail>(W, kRows1, (i - 1) * kFeatures), p = rows<NB, Tail>(P, kRows1, (i - 1) * kFeatures);
    const auto d = rows<NB, Tail>(D, kRowsIn, i - 1), e = rows<NB, Tail>(E, kRowsIn, i - 1);
    if (up && fw) {
      const double* xu = residueRow(s.filin, prev + i - kWinCentre);
      const double* xf = residueRow(s.filin, n + i - kWinCentre);
      // errh1 and dcayin of slot i stay in registers over its 30 rows: the rows then load only
      // wei1 and owei1.
      Sums<NB, Tail> ei, di;
      eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
        using V = typename decltype(kind)::type;
        ei.template at<V>(j) = load<V>(e.template at<V>(o));
        di.template at<V>(j) = load<V>(d.template at<V>(o));
      });
      for (int f = 0; f < kFeatures; ++f, w.next(), p.next()) {
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
      const double* xu = residueRow(s.filin, prev + i - kWinCentre);
      for (int f = 0; f < kFeatures; ++f, w.next(), p.next()) {
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
      const double* xf = residueRow(s.filin, n + i - kWinCentre);
      for (int f = 0; f < kFeatures; ++f, w.next()) {
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

template <int NB, bool Tail>
struct PassOp {
  static void run(FirstSlice& sl, int b, const FirstShared& s, int prev, int n) {
    passBlock<NB, Tail>(s, sl, b, prev, n);
  }
};
