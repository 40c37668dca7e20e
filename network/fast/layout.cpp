#include "network/fast/layout.h"

#include <algorithm>
#include <stdexcept>

namespace kelvor::fast {

namespace {

// Splits `vectors` vectors into blocks of at most `most`, as even as possible.
void makeBlocks(FirstSlice& sl, int vectors, int lanes, int most) {
  const int blocks = (vectors + most - 1) / most;
  sl.blocks = blocks;
  int col = 0;
  for (int b = 0; b < blocks; ++b) {
    const int v = vectors / blocks + (b < vectors % blocks ? 1 : 0);
    sl.bcol[b] = col;
    sl.bwidth[b] = v * lanes;
    col += v * lanes;
  }
}

// Every panel of one slice, `w` lanes wide (room for a whole last vector); the second copy of
// wei2 only with more than one thread (one thread's kernels read copy A the other way round).
void carveSlice(Arena& a, FirstSlice& sl, std::size_t w, bool copyB) {
  sl.w1 = a.take(kRows1 * w);
  sl.p1 = a.takeApart(kRows1 * w, sl.w1);
  sl.d1 = a.take(kRowsIn * w);
  sl.e1 = a.take(kRowsIn * w);
  sl.aw = a.take(kRowsA * w);
  sl.ap = a.takeApart(kRowsA * w, sl.aw);
  sl.bw = copyB ? a.take(kRowsB * w) : nullptr;
  sl.bp = copyB ? a.takeApart(kRowsB * w, sl.bw) : nullptr;
  sl.sum = a.take(w);
  sl.sumB = a.take(w);
  sl.birh1 = a.take(w);
  sl.pwei = a.take(kPwei);
  sl.hid1 = a.take(kPadded);
  sl.hid2 = a.take(kPadded);
  sl.hid1B = a.take(kPadded);
  sl.hid2B = a.take(kPadded);
  sl.birh2 = a.take(kPadded);
  sl.hid1P = a.take(kPadded);
  sl.birh2P = a.take(kPadded);
}

constexpr std::size_t kDoublesPer(std::size_t bytes) { return bytes / sizeof(double); }

// What the threads share: their arrivals at the barrier, the exchange buffers, the output
// layer's attenuation factors and the band of dcayhid.
void carveCommon(Arena& a, FirstShared& sh, int threads) {
  sh.arrival = reinterpret_cast<Arrival*>(a.take(kDoublesPer(sizeof(Arrival)) * threads));
  sh.xhid1 = reinterpret_cast<ExchangeLine*>(a.take(kExchange * threads));
  sh.xhid2 = reinterpret_cast<ExchangeLine*>(a.take(kExchange * threads));
  sh.xhid1B = reinterpret_cast<ExchangeLine*>(a.take(kExchange * threads));
  sh.xhid2B = reinterpret_cast<ExchangeLine*>(a.take(kExchange * threads));
  sh.dcayout = a.take(kPadded);
  sh.band = a.take(kBand);
}

}  // namespace

void layOutFirst(FirstLayout& L, const KernelSet& kernels, int threads) {
  const int lanes = kernels.lanes;
  // One thread takes whole vectors: its hidden-1 error terms read copy A in square tiles.
  const int unit = kernels.tailLanes > 0 && threads > 1 ? kernels.tailLanes : lanes;
  const int units = (kHidden + unit - 1) / unit;
  L.threads = threads;
  L.shared.threads = threads;
  L.common = Arena::carve([&](Arena& a) { carveCommon(a, L.shared, threads); });

  int base = 0;
  for (int t = 0; t < threads; ++t) {
    FirstSlice& sl = L.slices[t];
    sl.base = base;
    sl.width = (units / threads + (t < units % threads ? 1 : 0)) * unit;
    sl.real = std::min(sl.width, kHidden - base);
    if (sl.width < lanes) throw std::logic_error("fast engine: a slice narrower than a vector");
    makeBlocks(sl, sl.width / lanes, lanes, kernels.blockVectors);
    sl.bwidth[sl.blocks - 1] += sl.width % lanes;
    for (int b = 0; b < sl.blocks; ++b) sl.bstride[b] = sl.bwidth[b] / lanes * lanes;
    base += sl.width;
    const std::size_t w = (sl.width + lanes - 1) / lanes * lanes;
    L.arenas.push_back(Arena::carve([&](Arena& a) { carveSlice(a, sl, w, threads > 1); }));
    L.shared.slice[t] = &sl;
  }
}

void layOutFilter(FilterLayout& F, const KernelSet& kernels) {
  FilterState& f = F.state;
  const int lanes = kernels.lanes;
  f.width = (kFHidden + lanes - 1) / lanes * lanes;
  const std::size_t fw = f.width;
  F.arena = Arena::carve([&](Arena& a) {
    f.w1 = a.take(kFilterRows * fw);
    f.p1 = a.take(kFilterRows * fw);
    f.d1 = a.take(kRowsIn * fw);
    f.e1 = a.take(kRowsIn * fw);
    f.sum = a.take(fw);
    f.birh1 = a.take(fw);
    f.fhid = a.take(fw);
    f.w2 = a.take(kFwei2);
    f.p2 = a.take(kFwei2);
    f.dcayout = a.take(kFHiddenBias);
  });
}

std::size_t panelAt(const FirstSlice& sl, int rows, int q, int r) {
  int b = 0;
  while (q >= sl.bcol[b] + sl.bwidth[b]) ++b;
  const std::size_t block = static_cast<std::size_t>(rows) * sl.bcol[b];
  const int lane = q - sl.bcol[b], whole = sl.bstride[b];
  if (lane < whole) return block + static_cast<std::size_t>(r) * whole + lane;
  return block + static_cast<std::size_t>(rows) * whole + static_cast<std::size_t>(r) * (sl.bwidth[b] - whole) +
         (lane - whole);
}

std::pair<int, int> laneOf(const FirstLayout& L, int h) {
  int t = 0;
  while (h >= L.slices[t].base + L.slices[t].width) ++t;
  return {t, h - L.slices[t].base};
}

void handOver(const FirstLayout& from, FirstLayout& to) {
  for (int h = 0; h < kHidden; ++h) {
    const std::pair<int, int> s = laneOf(from, h), d = laneOf(to, h);
    const FirstSlice& src = from.slices[s.first];
    FirstSlice& dst = to.slices[d.first];
    const int qs = s.second, qd = d.second;
    auto panel = [&](const double* a, double* b, int rows) {
      for (int r = 0; r < rows; ++r) b[panelAt(dst, rows, qd, r)] = a[panelAt(src, rows, qs, r)];
    };
    panel(src.w1, dst.w1, kRows1);
    panel(src.p1, dst.p1, kRows1);
    panel(src.aw, dst.aw, kRowsA);
    panel(src.ap, dst.ap, kRowsA);
    if (dst.bw == nullptr) continue;
    // Row k of copy B at neuron h is row h of copy A at neuron k.
    for (int k = 0; k < kHidden; ++k) {
      const std::pair<int, int> c = laneOf(from, k);
      const FirstSlice& col = from.slices[c.first];
      const std::size_t a = panelAt(col, kRowsA, c.second, h), b = panelAt(dst, kRowsB, qd, k);
      dst.bw[b] = col.aw[a];
      dst.bp[b] = col.ap[a];
    }
  }
  for (int t = 0; t < to.threads; ++t) std::copy(from.slices[0].pwei, from.slices[0].pwei + kPwei, to.slices[t].pwei);
}

}  // namespace kelvor::fast
