// The angle network on both kernel sets: with silent outputs among the residues, the fast kernels
// on every target this CPU runs and several thread counts leave every weight, previous change and
// output bit for bit as the reference does; and a silent output learns nothing.
#include <gtest/gtest.h>

#include <cstring>

#include "network/engine.h"
#include "network/fast/engine.h"
#include "network/fast/kernel_set.h"
#include "network/netinit.h"
#include "network/reference/kernels.h"

namespace kelvor::angles {
namespace {

unsigned next(unsigned& seed) { return seed = seed * 1103515245u + 12345u; }
double uniform(unsigned& seed) { return static_cast<double>(next(seed) >> 8) / 16777216.0 * 2.0 - 1.0; }

// Proteins as the angle network's data set holds them: inputs 28-30 at 0, targets anywhere in
// -1..1, and about one residue in four with one or more silent outputs (all three in some).
struct World {
  Network net;
  DataStore store;
};

World makeWorld(unsigned seed) {
  World w;
  w.net.gain = 0.5;
  w.net.rate = 0.01;
  w.net.momentum = 0.5;
  w.net.dcay = 1.0;
  w.net.hid1[102] = w.net.hid2[102] = w.net.fhid[22] = 1.0;
  int draw = 815;
  drawWeights(w.net, draw);
  attenuation(w.net);
  DataStore& s = w.store;
  s.wincen = 11;
  s.outcen = 1;
  s.xin(22, 1) = 1.0;
  for (int n : {1, 140, 7, 1, 300, 22, 64, 2, 180, 30}) {
    for (int k = 1; k <= n; ++k) {
      s.addResidue();
      const int r = s.nta;
      for (int f = 1; f <= 27; ++f) s.fin(r, f) = uniform(seed);
      for (int c = 33; c <= 35; ++c) s.fin(r, c) = uniform(seed);
      const unsigned pick = next(seed) >> 20 & 15;
      s.fin(r, kSilentColumn) = pick < 8 ? static_cast<double>(pick) : 0.0;
      s.winlo[r - 1] = std::max(12 - k, 1);
      s.winhi[r - 1] = std::min(11 + n - k, 21);
      s.outlo[r - 1] = s.outhi[r - 1] = 1;
    }
  }
  s.ntatrain = 500;
  s.ntatrval = 600;
  w.net.outs.assign(static_cast<std::size_t>(s.nta) * 3, 0.0);
  return w;
}

// Two epochs as an angle run makes them (the test part untrained), then a final pass.
void twoEpochs(Engine& e, const DataStore& s) {
  for (int epoch = 0; epoch < 2; ++epoch) {
    e.trainFirst(1, s.ntatrain);
    e.predictFirst(s.ntatrain + 1, s.nta);
  }
  e.predictFirst(1, s.nta);
  e.exportWeights();
}

template <typename C>
std::string sameBits(const char* what, const C& a, const C& b) {
  const std::size_t bytes = a.size() * sizeof(a[0]);
  if (a.size() == b.size() && std::memcmp(a.data(), b.data(), bytes) == 0) return "";
  std::size_t i = 0;
  while (i < a.size() && std::memcmp(&a[i], &b[i], sizeof(a[0])) == 0) ++i;
  char buf[160];
  std::snprintf(buf, sizeof buf, "%s[%zu] differs: %a vs %a\n", what, i, static_cast<double>(a[i]),
                static_cast<double>(b[i]));
  return buf;
}

std::string compare(const World& a, const World& b) {
  return sameBits("wei1", a.net.wei1, b.net.wei1) + sameBits("owei1", a.net.owei1, b.net.owei1) +
         sameBits("wei2", a.net.wei2, b.net.wei2) + sameBits("owei2", a.net.owei2, b.net.owei2) +
         sameBits("pwei", a.net.pwei, b.net.pwei) + sameBits("outs", a.net.outs, b.net.outs) +
         sameBits("hid1", a.net.hid1, b.net.hid1) + sameBits("hid2", a.net.hid2, b.net.hid2) +
         sameBits("xin/targ", a.store.inout, b.store.inout);
}

TEST(AngleKernels, FastKernelsMatchTheReferenceBitForBitWithSilentOutputs) {
  const World start = makeWorld(99);
  World ref(start);
  ReferenceEngine r(ref.net, ref.store);
  twoEpochs(r, ref.store);
  ASSERT_FALSE(runnableKernelSets().empty());
  for (const fast::KernelSet* k : runnableKernelSets())
    for (int threads : {1, 2, 3}) {
      World w(start);
      FastEngine fast(w.net, w.store, *k, threads);
      twoEpochs(fast, w.store);
      EXPECT_EQ(compare(ref, w), "") << kernelSetName(*k) << " x" << threads;
    }
}

// The target of a silent output is never read: any value there gives the same bits, on every
// kernel set. (Were it read, the output's error term would move the weights.)
TEST(AngleKernels, ASilentOutputsTargetChangesNothing) {
  const World start = makeWorld(7);
  World other(start);
  unsigned seed = 3;
  int silenced = 0;
  for (int r = 1; r <= other.store.nta; ++r) {
    const int silent = static_cast<int>(other.store.fin(r, kSilentColumn));
    for (int c = 0; c < 3; ++c)
      if (silent >> c & 1) other.store.fin(r, 33 + c) = 5.0 * uniform(seed), ++silenced;
  }
  ASSERT_GT(silenced, 100);
  World a(start), b(other);
  ReferenceEngine ra(a.net, a.store), rb(b.net, b.store);
  twoEpochs(ra, a.store);
  twoEpochs(rb, b.store);
  EXPECT_EQ(compare(a, b), "") << "reference";
  for (const fast::KernelSet* k : runnableKernelSets()) {
    World fa(start), fb(other);
    FastEngine ea(fa.net, fa.store, *k, 2), eb(fb.net, fb.store, *k, 2);
    twoEpochs(ea, fa.store);
    twoEpochs(eb, fb.store);
    EXPECT_EQ(compare(fa, fb), "") << kernelSetName(*k);
  }
}

// One step without momentum: an output silent at the residue keeps its weights, the others move;
// with all three silent, no weight of the network moves at all.
TEST(AngleKernels, ASilentOutputLearnsNothingFromTheResidue) {
  for (int silent : {2, 7}) {
    World w = makeWorld(11);
    w.net.momentum = 0.0;
    const int n = 150;  // inside a long protein: a full window
    w.store.fin(n, kSilentColumn) = silent;
    const World before(w);
    readwin(w.store, n);
    calcnet(w.net, w.store, n);
    backprop(w.net, w.store, n);
    for (int c = 1; c <= 3; ++c) {
      bool moved = false;
      for (int m = 1; m <= 102; ++m) moved = moved || w.net.pwei[pw(m, c)] != before.net.pwei[pw(m, c)];
      EXPECT_EQ(moved, !(silent >> (c - 1) & 1)) << "output " << c << ", silent " << silent;
    }
    if (silent == 7) {
      EXPECT_EQ(sameBits("wei1", before.net.wei1, w.net.wei1), "");
      EXPECT_EQ(sameBits("wei2", before.net.wei2, w.net.wei2), "");
    }
  }
}

}  // namespace
}  // namespace kelvor::angles
