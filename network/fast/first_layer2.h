// A part of the fast kernels' body (network/fast/kernel_body.h), which alone includes it.
// Step B of the first stage: the hidden-2 sums of a slice from copy A of wei2.

// Hidden-2 sums of the slice's neurons from copy A of wei2; with `pending`, the wei2 update of
// the previous trained residue applied to each row first.
template <int NB, bool Tail>
void layer2Block(const FirstShared& s, FirstSlice& sl, int b, bool pending) {
  const int c0 = sl.bcol[b];
  auto w = rows<NB, Tail>(sl.aw + kRowsA * c0, kRowsA, 0);
  const double* d = s.band + kBandMiddle + sl.base + c0;
  Sums<NB, Tail> acc;
  if (!pending) {
    for (int m = 0; m < kHidden; ++m, w.next(), --d) {
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
  auto p = rows<NB, Tail>(sl.ap + kRowsA * c0, kRowsA, 0);
  Sums<NB, Tail> bkv;
  eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
    using V = typename decltype(kind)::type;
    bkv.template at<V>(j) = load<V>(sl.birh2P + sl.base + c0 + o);
  });
  for (int m = 0; m < kHidden; ++m, w.next(), p.next(), --d) {
    const double h = sl.hid1[m], hm = sl.hid1P[m];
    eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
      using V = typename decltype(kind)::type;
      const V dv = load<V>(d + o);
      const V nw =
          updateVector<V>(w.template at<V>(o), p.template at<V>(o), (bkv.template at<V>(j) * dv) * hm, eta, mu);
      acc.template at<V>(j) += (h * nw) * dv;
    });
  }
  eachVector<NB, Tail>(KELVOR_VECTOR_STEP {
    using V = typename decltype(kind)::type;
    const V nw = updateVector<V>(w.template at<V>(o), p.template at<V>(o), bkv.template at<V>(j), eta, mu);
    store(sl.sum + c0 + o, acc.template at<V>(j) + nw * s.h1bias);
  });
}

template <int NB, bool Tail>
struct Layer2Op {
  static void run(FirstSlice& sl, int b, const FirstShared& s, bool pending) {
    layer2Block<NB, Tail>(s, sl, b, pending);
  }
};
