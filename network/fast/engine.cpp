// The fast engine: owns the kernels' layouts, moves the weights between them and the Network,
// and runs the first stage on persistent threads (this thread is thread 0).
#include "network/fast/engine.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
#include <sched.h>
#include <thread>
#include <utility>

#include "network/fast/kernel_set.h"

namespace kelvor {
namespace {

using fast::FilterState;
using fast::FirstShared;
using fast::FirstSlice;
using fast::KernelSet;
using fast::kRows1;
using fast::kBiasRow1;

// Memory aligned to 128 bytes, zero-filled, handed out in 128-byte-aligned pieces.
class Arena {
 public:
  explicit Arena(std::size_t doubles) {
    bytes_ = std::max<std::size_t>(128, (doubles * sizeof(double) + 127) / 128 * 128);
    base_ = static_cast<double*>(std::aligned_alloc(128, bytes_));
    if (base_ == nullptr) throw std::bad_alloc();
    std::memset(base_, 0, bytes_);
  }
  ~Arena() { std::free(base_); }
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;
  double* take(std::size_t doubles) {
    double* p = base_ + used_;
    used_ += round(doubles);
    if (used_ * sizeof(double) > bytes_) throw std::logic_error("fast engine: arena too small");
    return p;
  }
  static std::size_t round(std::size_t doubles) { return (doubles + 15) / 16 * 16; }
  // A piece whose start lies half a page (mod 4096 bytes) from `from`'s: a pass that loads and
  // stores both at the same offsets then never sees a load of one alias a pending store to the
  // other (such pairs, 4K apart, wait for the store). Needs kApartSlack doubles of room.
  double* takeApart(std::size_t doubles, const double* from) {
    const std::uintptr_t want = (reinterpret_cast<std::uintptr_t>(from) + 2048) % 4096;
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(base_ + used_) % 4096;
    used_ += (want + 4096 - at) % 4096 / sizeof(double);
    return take(doubles);
  }
  static constexpr std::size_t kApartSlack = 4096 / sizeof(double);

 private:
  double* base_ = nullptr;
  std::size_t bytes_ = 0;
  std::size_t used_ = 0;
};

// Position of (row r, slice lane q) in a panel of R rows: the whole vectors of a block row by
// row, then (in a block that ends in half a vector) the half vectors row by row.
std::size_t at(const FirstSlice& sl, int rows, int q, int r) {
  int b = 0;
  while (q >= sl.bcol[b] + sl.bwidth[b]) ++b;
  const std::size_t block = static_cast<std::size_t>(rows) * sl.bcol[b];
  const int lane = q - sl.bcol[b], whole = sl.bstride[b];
  if (lane < whole) return block + static_cast<std::size_t>(r) * whole + lane;
  return block + static_cast<std::size_t>(rows) * whole + static_cast<std::size_t>(r) * (sl.bwidth[b] - whole) +
         (lane - whole);
}

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

// Residues run on one thread after the barriers were found slow, before two threads are tried
// again: about a second of training. When the threads are found slow again right after a spell
// (within kSoloRetry residues), the load has stayed and the next spell is twice as long, up to
// kSoloLongest spells' worth: the watch's own windows cost little against the spell they lead to.
constexpr long kSoloResidues = 50000;
constexpr long kSoloRetry = 8 * fast::kWatchWindow;
constexpr int kSoloLongest = 8;

enum class JobKind { kFirst, kFloor };
struct Job {
  JobKind kind = JobKind::kFirst;
  int first = 0, last = -1;
  bool train = false;
  int steps = 0;
};

// The first stage laid out for some number of threads: the neurons dealt to the slices, each
// slice in memory of its own, and what the threads share.
struct FirstLayout {
  int threads = 0;
  FirstShared shared{};
  FirstSlice slices[fast::kMaxThreads]{};
  std::vector<std::unique_ptr<Arena>> arenas;
  std::unique_ptr<Arena> common;  // arrivals, exchange buffers, dcayout
};

// The band of dcayhid: its value for each distance k - m, checked to be the whole matrix's.
void fillBand(double* band, const Network& net) {
  for (int d = -(kHidden - 1); d <= kHidden - 1; ++d)
    band[fast::kBandMiddle + d] = d >= 0 ? net.dcayhid[dhid(1, 1 + d)] : net.dcayhid[dhid(1 - d, 1)];
  for (int m = 1; m <= kHidden; ++m)
    for (int k = 1; k <= kHidden; ++k)
      if (std::memcmp(&band[fast::kBandMiddle + k - m], &net.dcayhid[dhid(m, k)], sizeof(double)) != 0 ||
          std::memcmp(&band[fast::kBandMiddle + m - k], &net.dcayhid[dhid(m, k)], sizeof(double)) != 0)
        throw std::logic_error("fast engine: dcayhid is not a symmetric function of the distance m - k");
}

// Deals the hidden neurons out to `threads` slices, in units of half a vector where the kernels
// take one, so that the slices differ by at most half a vector (every slice keeps at least one
// whole vector); takes from the Network what the engine keeps for good: the attenuation factors
// and the previous changes.
void layOut(FirstLayout& L, const KernelSet& kernels, const Network& net, int threads) {
  const int lanes = kernels.lanes;
  // One thread takes whole vectors: its hidden-1 error terms read copy A in square tiles.
  const int unit = kernels.tailLanes > 0 && threads > 1 ? kernels.tailLanes : lanes;
  const int units = (kHidden + unit - 1) / unit;
  L.threads = threads;
  L.common = std::make_unique<Arena>(16 * threads + 4 * fast::kExchange * threads + fast::kPadded + fast::kBand + 64);
  L.shared.arrival = reinterpret_cast<fast::Arrival*>(L.common->take(16 * threads));
  L.shared.xhid1 = reinterpret_cast<fast::ExchangeLine*>(L.common->take(fast::kExchange * threads));
  L.shared.xhid2 = reinterpret_cast<fast::ExchangeLine*>(L.common->take(fast::kExchange * threads));
  L.shared.xhid1B = reinterpret_cast<fast::ExchangeLine*>(L.common->take(fast::kExchange * threads));
  L.shared.xhid2B = reinterpret_cast<fast::ExchangeLine*>(L.common->take(fast::kExchange * threads));
  double* dcayout = L.common->take(fast::kPadded);
  L.shared.dcayout = dcayout;
  L.shared.threads = threads;
  for (int m = 1; m <= kHidden; ++m) dcayout[m - 1] = net.dcayout[m];
  double* band = L.common->take(fast::kBand);
  L.shared.band = band;
  fillBand(band, net);

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
    const std::size_t w = (sl.width + lanes - 1) / lanes * lanes;  // room for the panels, a whole last vector
    // One thread keeps no copy B of wei2: its kernels read copy A the other way round.
    const bool copyB = threads > 1;
    const std::size_t need = 2 * Arena::round(kRows1 * w) + 2 * Arena::round(21 * w) + 2 * Arena::round(102 * w) +
                             (copyB ? 2 * Arena::round(101 * w) : 0) + 3 * Arena::round(w) + Arena::round(612) +
                             7 * Arena::round(fast::kPadded) + 3 * Arena::kApartSlack;
    L.arenas.push_back(std::make_unique<Arena>(need));
    Arena& a = *L.arenas.back();
    sl.w1 = a.take(kRows1 * w);
    sl.p1 = a.takeApart(kRows1 * w, sl.w1);
    sl.d1 = a.take(21 * w);
    sl.e1 = a.take(21 * w);
    sl.aw = a.take(102 * w);
    sl.ap = a.takeApart(102 * w, sl.aw);
    sl.bw = copyB ? a.take(101 * w) : nullptr;
    sl.bp = copyB ? a.takeApart(101 * w, sl.bw) : nullptr;
    sl.sum = a.take(w);
    sl.sumB = a.take(w);
    sl.birh1 = a.take(w);
    sl.pwei = a.take(612);
    sl.hid1 = a.take(fast::kPadded);
    sl.hid2 = a.take(fast::kPadded);
    sl.hid1B = a.take(fast::kPadded);
    sl.hid2B = a.take(fast::kPadded);
    sl.birh2 = a.take(fast::kPadded);
    sl.hid1P = a.take(fast::kPadded);
    sl.birh2P = a.take(fast::kPadded);
    L.shared.slice[t] = &sl;

    for (int q = 0; q < sl.real; ++q) {
      const int h = sl.base + q + 1;
      for (int i = 1; i <= 21; ++i) {
        sl.d1[at(sl, 21, q, i - 1)] = net.dcayin[din(i, h)];
        for (int f1 = 1; f1 <= kFeatures; ++f1)
          sl.p1[at(sl, kRows1, q, 30 * (i - 1) + f1 - 1)] = net.owei1[w1(i, f1, h)];
      }
      sl.p1[at(sl, kRows1, q, kBiasRow1)] = net.owei1[w1(22, 1, h)];
      for (int m = 1; m <= 102; ++m) sl.ap[at(sl, 102, q, m - 1)] = net.owei2[w2(m, h)];
      if (copyB)
        for (int k = 1; k <= kHidden; ++k) sl.bp[at(sl, 101, q, k - 1)] = net.owei2[w2(h, k)];
    }
    for (int m = 1; m <= 102; ++m)
      for (int c = 4; c <= 6; ++c) sl.pwei[pw(m, c)] = net.pwei[pw(m, c)];
  }
}

// The slice and lane of hidden neuron h (0-based) in a layout.
std::pair<int, int> lane(const FirstLayout& L, int h) {
  int t = 0;
  while (h >= L.slices[t].base + L.slices[t].width) ++t;
  return {t, h - L.slices[t].base};
}

// Hands the weights and previous changes of one layout over to another, neuron by neuron. Copy B
// of wei2, where the new layout keeps one, is built from copy A (the copies agree between
// ranges; a layout of one thread has no copy B).
void handOver(const FirstLayout& from, FirstLayout& to) {
  for (int h = 0; h < kHidden; ++h) {
    const std::pair<int, int> s = lane(from, h), d = lane(to, h);
    const FirstSlice& src = from.slices[s.first];
    FirstSlice& dst = to.slices[d.first];
    const int qs = s.second, qd = d.second;
    auto panel = [&](const double* a, double* b, int rows) {
      for (int r = 0; r < rows; ++r) b[at(dst, rows, qd, r)] = a[at(src, rows, qs, r)];
    };
    panel(src.w1, dst.w1, kRows1);
    panel(src.p1, dst.p1, kRows1);
    panel(src.aw, dst.aw, 102);
    panel(src.ap, dst.ap, 102);
    if (dst.bw == nullptr) continue;
    // Row k of copy B at neuron h is row h of copy A at neuron k.
    for (int k = 0; k < kHidden; ++k) {
      const std::pair<int, int> c = lane(from, k);
      const FirstSlice& col = from.slices[c.first];
      const std::size_t a = at(col, 102, c.second, h), b = at(dst, 101, qd, k);
      dst.bw[b] = col.aw[a];
      dst.bp[b] = col.ap[a];
    }
  }
  for (int t = 0; t < to.threads; ++t) std::copy(from.slices[0].pwei, from.slices[0].pwei + 612, to.slices[t].pwei);
}

}  // namespace

struct FastEngine::State {
  const KernelSet& k;
  int threads;
  FirstLayout first;
  // The same for one thread, where the threads go on alone after slow barriers.
  std::unique_ptr<FirstLayout> alone;
  FilterState filter{};
  std::unique_ptr<Arena> filterArena;

  std::mutex m;
  std::condition_variable wake, done;
  std::uint64_t generation = 0;
  int remaining = 0;
  bool quit = false;
  Job job;
  std::vector<std::thread> workers;
  // After slow barriers, residues still to run on one thread (ranges started after the switch),
  // the length of a first spell, how many such lengths the next one takes and the residues run
  // with the threads since the last spell ended.
  long soloLeft = 0;
  long soloBudget = kSoloResidues;
  int soloSpells = 1;
  long withThreads = kSoloRetry + 1;
  int forceSolo = 0;

  State(const KernelSet& kernels, int t) : k(kernels), threads(t) {}

  void execute(const Job& j, int t) {
    if (j.kind == JobKind::kFirst) k.firstRange(first.shared, t, j.first, j.last, j.train);
    else k.floorSteps(first.shared, t, j.steps);
  }

  void work(int t) {
    std::uint64_t seen = 0;
    for (;;) {
      Job j;
      {
        std::unique_lock<std::mutex> lock(m);
        wake.wait(lock, [&] { return quit || generation != seen; });
        if (quit) return;
        seen = generation;
        j = job;
      }
      execute(j, t);
      std::lock_guard<std::mutex> lock(m);
      if (--remaining == 0) done.notify_one();
    }
  }

  void run(const Job& j) {
    if (threads > 1) {
      std::lock_guard<std::mutex> lock(m);
      job = j;
      ++generation;
      remaining = threads - 1;
    }
    wake.notify_all();
    execute(j, 0);
    if (threads > 1) {
      std::unique_lock<std::mutex> lock(m);
      done.wait(lock, [&] { return remaining == 0; });
    }
  }
};

FastEngine::FastEngine(Network& net, DataStore& store, const KernelSet& kernels, int threads)
    : Engine(net, store) {
  const int vectors = (kHidden + kernels.lanes - 1) / kernels.lanes;
  threads = std::clamp(threads, 1, std::min(fast::kMaxThreads, vectors));
  s_ = std::make_unique<State>(kernels, threads);
  State& s = *s_;
  layOut(s.first, kernels, net, threads);
  if (threads > 1) {
    s.alone = std::make_unique<FirstLayout>();
    layOut(*s.alone, kernels, net, 1);
  }

  FilterState& f = s.filter;
  const int lanes = kernels.lanes;
  f.width = (kFHidden + lanes - 1) / lanes * lanes;
  const std::size_t fw = f.width;
  s.filterArena = std::make_unique<Arena>(2 * Arena::round(64 * fw) + 2 * Arena::round(21 * fw) +
                                          3 * Arena::round(fw) + 3 * Arena::round(66));
  Arena& fa = *s.filterArena;
  f.w1 = fa.take(64 * fw);
  f.p1 = fa.take(64 * fw);
  f.d1 = fa.take(21 * fw);
  f.e1 = fa.take(21 * fw);
  f.sum = fa.take(fw);
  f.birh1 = fa.take(fw);
  f.fhid = fa.take(fw);
  f.w2 = fa.take(66);
  f.p2 = fa.take(66);

  // The filter's attenuation factors and previous changes: taken once.
  double* fdcayout = fa.take(66);
  f.dcayout = fdcayout;
  for (int m = 1; m <= kFHidden; ++m) fdcayout[m - 1] = net.fdcayout[m];
  for (int h = 1; h <= kFHidden; ++h) {
    for (int i = 1; i <= 21; ++i) {
      f.d1[(i - 1) * fw + h - 1] = net.fdcayin[fdin(i, h)];
      for (int c = 1; c <= 3; ++c) f.p1[(3 * (i - 1) + c - 1) * fw + h - 1] = net.ofwei1[fw1(i, c, h)];
    }
    f.p1[63 * fw + h - 1] = net.ofwei1[fw1(22, 1, h)];
  }
  for (int q = 0; q < 66; ++q) f.p2[q] = net.ofwei2[q];
  importWeights();

  for (int t = 1; t < threads; ++t) s.workers.emplace_back([this, t] { s_->work(t); });
}

FastEngine::~FastEngine() {
  {
    std::lock_guard<std::mutex> lock(s_->m);
    s_->quit = true;
  }
  s_->wake.notify_all();
  for (auto& w : s_->workers) w.join();
}

std::string FastEngine::name() const {
  return "fast-" + std::string(s_->k.name) + (s_->threads > 1 ? " x" + std::to_string(s_->threads) : "");
}

int FastEngine::threads() const { return s_->threads; }
const fast::KernelSet& FastEngine::kernels() const { return s_->k; }

void FastEngine::importWeights() {
  State& s = *s_;
  const Network& net = net_;
  for (int t = 0; t < s.threads; ++t) {
    FirstSlice& sl = s.first.slices[t];
    for (int q = 0; q < sl.real; ++q) {
      const int h = sl.base + q + 1;
      for (int i = 1; i <= 21; ++i)
        for (int f = 1; f <= kFeatures; ++f) sl.w1[at(sl, kRows1, q, 30 * (i - 1) + f - 1)] = net.wei1[w1(i, f, h)];
      sl.w1[at(sl, kRows1, q, kBiasRow1)] = net.wei1[w1(22, 1, h)];
      for (int m = 1; m <= 102; ++m) sl.aw[at(sl, 102, q, m - 1)] = net.wei2[w2(m, h)];
      if (sl.bw != nullptr)
        for (int k = 1; k <= kHidden; ++k) sl.bw[at(sl, 101, q, k - 1)] = net.wei2[w2(h, k)];
    }
    for (int m = 1; m <= 102; ++m)
      for (int c = 1; c <= 3; ++c) sl.pwei[pw(m, c)] = net.pwei[pw(m, c)];
  }
  FilterState& f = s.filter;
  const int fw = f.width;
  for (int h = 1; h <= kFHidden; ++h) {
    for (int i = 1; i <= 21; ++i)
      for (int c = 1; c <= 3; ++c) f.w1[(3 * (i - 1) + c - 1) * fw + h - 1] = net.fwei1[fw1(i, c, h)];
    f.w1[63 * fw + h - 1] = net.fwei1[fw1(22, 1, h)];
  }
  for (int q = 0; q < 66; ++q) f.w2[q] = net.fwei2[q];
}

void FastEngine::exportWeights() {
  State& s = *s_;
  Network& net = net_;
  for (int t = 0; t < s.threads; ++t) {
    const FirstSlice& sl = s.first.slices[t];
    for (int q = 0; q < sl.real; ++q) {
      const int h = sl.base + q + 1;
      for (int i = 1; i <= 21; ++i)
        for (int f = 1; f <= kFeatures; ++f) {
          const std::size_t a = at(sl, kRows1, q, 30 * (i - 1) + f - 1);
          net.wei1[w1(i, f, h)] = sl.w1[a];
          net.owei1[w1(i, f, h)] = sl.p1[a];
        }
      const std::size_t a = at(sl, kRows1, q, kBiasRow1);
      net.wei1[w1(22, 1, h)] = sl.w1[a];
      net.owei1[w1(22, 1, h)] = sl.p1[a];
      for (int m = 1; m <= 102; ++m) {
        net.wei2[w2(m, h)] = sl.aw[at(sl, 102, q, m - 1)];
        net.owei2[w2(m, h)] = sl.ap[at(sl, 102, q, m - 1)];
      }
    }
  }
  std::copy(s.first.slices[0].pwei, s.first.slices[0].pwei + 612, net.pwei.begin());
  const FilterState& f = s.filter;
  const int fw = f.width;
  for (int h = 1; h <= kFHidden; ++h) {
    for (int i = 1; i <= 21; ++i)
      for (int c = 1; c <= 3; ++c) {
        net.fwei1[fw1(i, c, h)] = f.w1[(3 * (i - 1) + c - 1) * fw + h - 1];
        net.ofwei1[fw1(i, c, h)] = f.p1[(3 * (i - 1) + c - 1) * fw + h - 1];
      }
    net.fwei1[fw1(22, 1, h)] = f.w1[63 * fw + h - 1];
    net.ofwei1[fw1(22, 1, h)] = f.p1[63 * fw + h - 1];
  }
  for (int q = 0; q < 66; ++q) {
    net.fwei2[q] = f.w2[q];
    net.ofwei2[q] = f.p2[q];
  }
}

namespace {

// What the reference window builders leave in a window after residues first..last: each slot
// holds the values of the last residue whose window reached it.
template <typename Copy>
void replayWindow(const DataStore& store, int first, int last, Copy copy) {
  bool done[22] = {};
  int missing = kWindow;
  for (int k = last; k >= first && missing > 0; --k) {
    for (int i = store.winlo[k - 1]; i <= store.winhi[k - 1]; ++i) {
      if (done[i]) continue;
      done[i] = true;
      --missing;
      copy(i, k + i - store.wincen);
    }
  }
}

}  // namespace

void runFirst(FastEngine::State& s, Network& net, DataStore& store, int first, int last, bool train);
void runFilter(FastEngine::State& s, Network& net, DataStore& store, int first, int last, bool train);

void FastEngine::trainFirst(int first, int last) { runFirst(*s_, net_, store_, first, last, true); }
void FastEngine::predictFirst(int first, int last) { runFirst(*s_, net_, store_, first, last, false); }
void FastEngine::trainFilter(int first, int last) { runFilter(*s_, net_, store_, first, last, true); }
void FastEngine::predictFilter(int first, int last) { runFilter(*s_, net_, store_, first, last, false); }

void FastEngine::goSoloAt(int residue, long residues) {
  s_->forceSolo = residue;
  s_->soloBudget = residues;
  s_->soloSpells = 1;
  s_->withThreads = kSoloRetry + 1;
}

void FastEngine::floorSteps(int steps) {
  Job j;
  j.kind = JobKind::kFloor;
  j.steps = steps;
  s_->first.shared.momentum = net_.momentum;
  s_->run(j);
}

namespace {

// Points a layout at the data set and the learning parameters of this range.
void bind(FirstShared& sh, Network& net, DataStore& store) {
  sh.filin = store.filin.data();
  sh.winlo = store.winlo.data();
  sh.winhi = store.winhi.data();
  sh.outs = net.outs.data();
  sh.sscode = store.sscode.data();
  sh.nsscode = store.nsscode.data();
  sh.gain = net.gain;
  sh.rate = net.rate;
  sh.momentum = net.momentum;
  sh.xbias = store.xin(22, 1);
  sh.h1bias = net.hid1[102];
  sh.h2bias = net.hid2[102];
}

}  // namespace

void runFirst(FastEngine::State& s, Network& net, DataStore& store, int first, int last, bool train) {
  if (first > last) return;
  FirstShared& sh = s.first.shared;
  bind(sh, net, store);
  sh.forceSolo = s.forceSolo;
  s.forceSolo = 0;
  // With the threads until the watch finds them slower than one, then alone for a spell of
  // residues (within this range and the next ones), then with the threads again. Alone, the
  // weights move to the one-thread layout and back, which is faster than one thread doing every
  // slice's share in turn.
  const FirstLayout* ran = &s.first;
  for (int from = first; from <= last;) {
    if (s.alone && s.soloLeft > 0) {
      const int upto = last - from < s.soloLeft ? last : from + static_cast<int>(s.soloLeft) - 1;
      FirstLayout& alone = *s.alone;
      bind(alone.shared, net, store);
      handOver(s.first, alone);
      s.k.firstRange(alone.shared, 0, from, upto, train);
      handOver(alone, s.first);
      ran = &alone;
      s.soloLeft -= upto - from + 1;
      from = upto + 1;
      continue;
    }
    Job j;
    j.kind = JobKind::kFirst;
    j.first = from;
    j.last = last;
    j.train = train;
    sh.solo = 0;
    s.run(j);
    ran = &s.first;
    sh.forceSolo = 0;
    s.withThreads += (sh.solo == 0 ? last : sh.solo) - from + 1;
    if (sh.solo == 0) break;
    s.soloSpells = s.withThreads <= kSoloRetry ? std::min(2 * s.soloSpells, kSoloLongest) : 1;
    s.soloLeft = s.soloSpells * s.soloBudget;
    s.withThreads = 0;
    from = sh.solo + 1;
  }

  const FirstSlice& sl = ran->slices[0];
  std::copy(sl.hid1, sl.hid1 + kHidden, net.hid1.begin() + 1);
  std::copy(sl.hid2, sl.hid2 + kHidden, net.hid2.begin() + 1);
  replayWindow(store, first, last, [&](int i, int r) {
    for (int f = 1; f <= kFeatures; ++f) store.xin(i, f) = store.fin(r, f);
  });
  for (int c = 1; c <= 3; ++c) store.targ(c) = store.fin(last, 32 + c);
}

void runFilter(FastEngine::State& s, Network& net, DataStore& store, int first, int last, bool train) {
  if (first > last) return;
  FilterState& f = s.filter;
  f.filin = store.filin.data();
  f.winlo = store.winlo.data();
  f.winhi = store.winhi.data();
  f.outs = net.outs.data();
  f.sscode = store.sscode.data();
  f.nsscode = store.nsscode.data();
  f.gain = net.gain;
  f.rate = net.rate;
  f.momentum = net.momentum;
  f.fbias = net.fhid[22];
  s.k.filterRange(f, first, last, train);

  std::copy(f.fhid, f.fhid + kFHidden, net.fhid.begin() + 1);
  std::copy(f.fout, f.fout + 3, net.fout.begin() + 1);
  replayWindow(store, first, last, [&](int i, int r) {
    for (int c = 1; c <= 3; ++c) net.finp[(i - 1) + 21 * (c - 1)] = net.out(r, c);
  });
  for (int c = 1; c <= 3; ++c) store.targ(c) = store.fin(last, 32 + c);
}

}  // namespace kelvor
