// The fast engine: owns the kernels' layouts, moves the weights between them and the Network,
// and runs the first stage on persistent threads (this thread is thread 0).
#include "network/fast/engine.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <sched.h>
#include <thread>
#include <utility>

#include "network/fast/kernel_set.h"
#include "network/fast/layout.h"
#include "network/fast/panels.h"

namespace kelvor {
namespace {

using fast::FilterLayout;
using fast::FilterState;
using fast::FirstLayout;
using fast::FirstShared;
using fast::FirstSlice;
using fast::handOver;
using fast::KernelSet;
using fast::layOutFilter;
using fast::layOutFirst;

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

}  // namespace

struct FastEngine::State {
  const KernelSet& k;
  int threads;
  FirstLayout first;
  // The same for one thread, where the threads go on alone after slow barriers.
  std::unique_ptr<FirstLayout> alone;
  FilterLayout filter;

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
    if (j.kind == JobKind::kFirst)
      k.firstRange(first.shared, t, j.first, j.last, j.train);
    else
      k.floorSteps(first.shared, t, j.steps);
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

FastEngine::FastEngine(Network& net, DataStore& store, const KernelSet& kernels, int threads) : Engine(net, store) {
  const int vectors = (kHidden + kernels.lanes - 1) / kernels.lanes;
  threads = std::clamp(threads, 1, std::min(fast::kMaxThreads, vectors));
  s_ = std::make_unique<State>(kernels, threads);
  State& s = *s_;
  // The attenuation factors and the previous changes are taken once; the weights again on every
  // importWeights().
  layOutFirst(s.first, kernels, threads);
  fast::toPanels(net, s.first, fast::kChanges | fast::kFactors);
  if (threads > 1) {
    s.alone = std::make_unique<FirstLayout>();
    layOutFirst(*s.alone, kernels, 1);
    fast::toPanels(net, *s.alone, fast::kChanges | fast::kFactors);
  }
  layOutFilter(s.filter, kernels);
  fast::toPanels(net, s.filter, fast::kChanges | fast::kFactors);
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
  fast::toPanels(net_, s_->first, fast::kWeights);
  fast::toPanels(net_, s_->filter, fast::kWeights);
}

void FastEngine::exportWeights() {
  fast::fromPanels(s_->first, net_, fast::kWeights | fast::kChanges);
  fast::fromPanels(s_->filter, net_, fast::kWeights | fast::kChanges);
}

namespace {

// What the reference window builders leave in a window after residues first..last: each slot
// holds the values of the last residue whose window reached it.
template <typename Copy>
void replayWindow(const DataStore& store, int first, int last, Copy copy) {
  bool done[kSlots] = {};
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
  sh.xbias = store.xin(kBiasSlot, 1);
  sh.h1bias = net.hid1[kHiddenBias];
  sh.h2bias = net.hid2[kHiddenBias];
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
  for (int c = 1; c <= kOutputs; ++c) store.targ(c) = store.fin(last, kTargetColumn - 1 + c);
}

void runFilter(FastEngine::State& s, Network& net, DataStore& store, int first, int last, bool train) {
  if (first > last) return;
  FilterState& f = s.filter.state;
  f.filin = store.filin.data();
  f.winlo = store.winlo.data();
  f.winhi = store.winhi.data();
  f.outs = net.outs.data();
  f.sscode = store.sscode.data();
  f.nsscode = store.nsscode.data();
  f.gain = net.gain;
  f.rate = net.rate;
  f.momentum = net.momentum;
  f.fbias = net.fhid[kFHiddenBias];
  s.k.filterRange(f, first, last, train);

  std::copy(f.fhid, f.fhid + kFHidden, net.fhid.begin() + 1);
  std::copy(f.fout, f.fout + kOutputs, net.fout.begin() + 1);
  replayWindow(store, first, last, [&](int i, int r) {
    for (int c = 1; c <= kOutputs; ++c) net.finp[fip(i, c)] = net.out(r, c);
  });
  for (int c = 1; c <= kOutputs; ++c) store.targ(c) = store.fin(last, kTargetColumn - 1 + c);
}

}  // namespace kelvor
