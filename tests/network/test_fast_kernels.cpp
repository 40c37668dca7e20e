// The fast kernels against the reference kernels: every dispatch target this CPU runs, with one,
// two and three threads, must leave every weight, previous change, output, accumulator and
// activation bit for bit as the reference leaves them (whole runs of the program with each set are
// compared in tests/run/test_fast_whole_run.cpp).
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <filesystem>

#include "network/engine.h"
#include "network/epoch_run.h"
#include "network/fast/engine.h"
#include "network/fast/kernel_set.h"
#include "network/netinit.h"
#include "network/same_bits.h"
#include "ground/errors.h"
#include "tests/support/bit_checks.h"
#include "tests/support/synthetic_store.h"
#include "tests/support/test_support.h"

namespace kelvor {
namespace {

void fillStore(DataStore& s, const std::vector<int>& lengths, unsigned seed) {
  s.xin(22, 1) = 1.0;
  test::fillSyntheticStore(s, lengths, seed);
}

struct World {
  Network net;
  DataStore store;
};

// Long and short proteins, proteins of one residue (also in a row), and proteins shorter than
// the window: about 2600 residues.
World makeWorld() {
  World w;
  w.net.gain = 0.5;
  w.net.rate = 0.01;  // ten times the usual rate: the weights move far in a short run
  w.net.momentum = 0.5;
  w.net.dcay = 1.0;
  w.net.hid1[102] = w.net.hid2[102] = w.net.fhid[22] = 1.0;
  int seed = 4711;
  drawWeights(w.net, seed);
  attenuation(w.net);
  fillStore(w.store, {1, 230, 5, 1, 1, 17, 480, 60, 2, 1, 300, 11, 10, 12, 1, 150, 500, 21, 22, 3, 250, 40, 1}, 2024);
  w.store.ntatrain = 1100;
  w.store.ntatrval = 1400;
  w.net.outs.assign(static_cast<std::size_t>(w.store.nta) * 3, 0.0);
  return w;
}

// One epoch as the schedule runs it, then a final pass.
// The score accumulators, cleared as every epoch begins.
void clearAccumulators(DataStore& s) {
  std::fill(s.sscode.begin(), s.sscode.end(), 0.0);
  std::fill(s.nsscode.begin(), s.nsscode.end(), 0);
}

void epochOfFirstStage(Engine& e, const DataStore& s) { runEpoch(e, Stage::kFirst, epochOrder(s, TestPart::kTrained)); }
void epochOfFilter(Engine& e, const DataStore& s) { runEpoch(e, Stage::kFilter, epochOrder(s, TestPart::kTrained)); }

// Two filter epochs and the filter's final pass after the first stage, then the weights back in
// the Network: the end every whole-run comparison below shares.
void filterPhaseAndExport(Engine& e, DataStore& s) {
  for (int epoch = 0; epoch < 2; ++epoch) {
    clearAccumulators(s);
    epochOfFilter(e, s);
  }
  clearAccumulators(s);
  e.predictFilter(1, s.nta);
  e.exportWeights();
}

// Every area that a kernel writes or that its results reach.
std::string compareWorlds(const World& a, const World& b) {
  return kernelStateDifferences(a.net, a.store, b.net, b.store);
}

struct Config {
  const fast::KernelSet* kernels;
  int threads;
};

// Every set with one and two threads; the best set also with three and five (uneven splits).
std::vector<Config> configs() {
  std::vector<Config> v;
  for (const fast::KernelSet* k : runnableKernelSets())
    for (int t : {1, 2}) v.push_back({k, t});
  // Slices that end in half a vector: 9, 9 and 8 half vectors, or 6, 5, 5, 5 and 5 on AVX-512.
  for (int t : {3, 5}) v.push_back({runnableKernelSets().front(), t});
  // Slices of several blocks whose last one ends in half a vector (a padded row stride after
  // whole ones): 9, 8.5 and 8.5 vectors of four lanes.
  for (const fast::KernelSet* k : runnableKernelSets())
    if (std::string(k->name) == "avx2") v.push_back({k, 3});
#ifdef KELVOR_THREAD_TESTS
  // Under ThreadSanitizer, where every access costs many times its time: the threaded ones only,
  // and no more threads than slices of uneven length need (five would mostly wait for cores).
  std::erase_if(v, [](const Config& c) { return c.threads == 1 || c.threads > 3; });
#endif
  return v;
}

std::string label(const Config& c) { return kernelSetName(*c.kernels) + " x" + std::to_string(c.threads); }

// The reference results are made once and shared by the tests below.
class FastKernels : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    start_ = new World(makeWorld());
    afterTwoEpochs_ = new World(*start_);
    ReferenceEngine ref(afterTwoEpochs_->net, afterTwoEpochs_->store);
    for (int e = 0; e < 2; ++e) {
      clearAccumulators(afterTwoEpochs_->store);
      epochOfFirstStage(ref, afterTwoEpochs_->store);
    }
    clearAccumulators(afterTwoEpochs_->store);
    ref.predictFirst(1, afterTwoEpochs_->store.nta);
    filterPhaseAndExport(ref, afterTwoEpochs_->store);
  }
  static void TearDownTestSuite() {
    delete start_;
    delete afterTwoEpochs_;
  }
  static World* start_;
  static World* afterTwoEpochs_;
};
World* FastKernels::start_ = nullptr;
World* FastKernels::afterTwoEpochs_ = nullptr;

TEST_F(FastKernels, TwoEpochsOfBothStagesAreBitIdenticalOnEveryTargetAndThreadCount) {
  ASSERT_FALSE(runnableKernelSets().empty());
  for (const Config& c : configs()) {
    World w(*start_);
    FastEngine fast(w.net, w.store, *c.kernels, c.threads);
    ASSERT_EQ(fast.threads(), c.threads);
    for (int e = 0; e < 2; ++e) {
      clearAccumulators(w.store);
      epochOfFirstStage(fast, w.store);
    }
    clearAccumulators(w.store);
    fast.predictFirst(1, w.store.nta);
    filterPhaseAndExport(fast, w.store);
    EXPECT_EQ(compareWorlds(*afterTwoEpochs_, w), "") << label(c);
  }
}

// Going on with one thread after slow barriers: the switch inside a trained range (with the
// pending update handed over), at a range's first residue and inside a forward-only range;
// ranges run alone whole; the threads back after the budget. The same bits as the reference.
TEST_F(FastKernels, GoingOnWithOneThreadChangesNoBit) {
  const DataStore& st = start_->store;
  struct Switch {
    int epoch, at;
    long budget;
  };
  const std::vector<Switch> switches = {{0, 200, 300},                 // alone 201..500, threads again in the range
                                        {1, st.ntatrain + 1, 100000},  // first residue of the validation part, then
                                                                       // alone into the next range
                                        {2, 3, 0}};                    // the final pass, threads again at once
  for (const Config& c : configs()) {
    if (c.threads < 2) continue;
    World w(*start_);
    FastEngine fast(w.net, w.store, *c.kernels, c.threads);
    for (int e = 0; e < 3; ++e) {
      for (const Switch& sw : switches)
        if (sw.epoch == e) fast.goSoloAt(sw.at, sw.budget);
      clearAccumulators(w.store);
      if (e < 2)
        epochOfFirstStage(fast, w.store);
      else
        fast.predictFirst(1, w.store.nta);
    }
    filterPhaseAndExport(fast, w.store);
    EXPECT_EQ(compareWorlds(*afterTwoEpochs_, w), "") << label(c);
  }
}

// Short ranges and single residues: a pending update must never leak from one call into the
// next, and the window left behind must be the reference's even when slots were last written
// long before the range ended.
TEST_F(FastKernels, RangesOfOneResidueAndRangesStartingAtProteinEndsMatch) {
  const int nta = start_->store.nta;
  const std::vector<std::pair<int, int>> ranges = {{1, 1},     {2, 2},          {3, 9},     {235, 237},
                                                   {238, 240}, {241, 260},      {236, 236}, {900, 1200},
                                                   {5, 4},     {nta - 41, nta}, {nta, nta}};
  World ref(*start_);
  ReferenceEngine r(ref.net, ref.store);
  for (auto [a, b] : ranges) {
    r.trainFirst(a, b);
    r.predictFirst(a, b);
  }
  for (auto [a, b] : ranges) r.trainFilter(a, b);
  for (const Config& c : configs()) {
    World w(*start_);
    FastEngine fast(w.net, w.store, *c.kernels, c.threads);
    for (auto [a, b] : ranges) {
      fast.trainFirst(a, b);
      fast.predictFirst(a, b);
    }
    for (auto [a, b] : ranges) fast.trainFilter(a, b);
    fast.exportWeights();
    EXPECT_EQ(compareWorlds(ref, w), "") << label(c);
  }
}

// Loading weights replaces the weights only: the previous changes of the engine go on, as the
// Network's do under the reference kernels.
TEST_F(FastKernels, ImportTakesTheWeightsAndKeepsThePreviousChanges) {
  World loaded(*afterTwoEpochs_);
  World ref(*start_);
  ReferenceEngine r(ref.net, ref.store);
  r.trainFirst(1, 400);
  r.trainFilter(1, 400);
  auto load = [&](Network& n) {
    n.wei1 = loaded.net.wei1;
    n.wei2 = loaded.net.wei2;
    std::copy(loaded.net.pwei.begin(), loaded.net.pwei.begin() + 306, n.pwei.begin());
    n.fwei1 = loaded.net.fwei1;
    n.fwei2 = loaded.net.fwei2;
  };
  load(ref.net);
  r.trainFirst(401, 800);
  r.trainFilter(401, 800);
  for (const Config& c : configs()) {
    World w(*start_);
    FastEngine fast(w.net, w.store, *c.kernels, c.threads);
    fast.trainFirst(1, 400);
    fast.trainFilter(1, 400);
    load(w.net);
    fast.importWeights();
    fast.trainFirst(401, 800);
    fast.trainFilter(401, 800);
    fast.exportWeights();
    EXPECT_EQ(compareWorlds(ref, w), "") << label(c);
  }
}

// Rate and momentum zero, gain zero, and a momentum above one: the corner values of the rule
// (zero products, signed zeros, growing changes) come out the same.
TEST_F(FastKernels, CornerValuesOfTheLearningParametersMatch) {
  struct Learn {
    double gain, rate, momentum;
  };
  for (Learn l : {Learn{0.5, 0.0, 0.0}, Learn{0.0, 0.01, 0.5}, Learn{2.0, 0.05, 1.5}, Learn{-0.5, -0.01, 0.9}}) {
    World ref(*start_);
    ref.net.gain = l.gain;
    ref.net.rate = l.rate;
    ref.net.momentum = l.momentum;
    World base(ref);
    ReferenceEngine r(ref.net, ref.store);
    r.trainFirst(1, 300);
    r.trainFilter(1, 300);
    for (const Config& c : configs()) {
      World w(base);
      FastEngine fast(w.net, w.store, *c.kernels, c.threads);
      fast.trainFirst(1, 300);
      fast.trainFilter(1, 300);
      fast.exportWeights();
      EXPECT_EQ(compareWorlds(ref, w), "") << label(c) << " gain " << l.gain << " rate " << l.rate;
    }
  }
}

// The kernels' tanh against std::tanh, bit for bit: magnitudes from 2^-60 to 64 of either sign,
// the neighbours of every branch point, and raw bit patterns (subnormals, infinities, NaNs). The
// sets built with FMA must run it a vector at a time here: the C library this project builds
// against is the one it reproduces.
// A difference in the last bit, or between zeros and NaNs of other signs or payloads, is one,
// and is shown in hexadecimal floating point, every bit of both values.
TEST(SameBits, EveryBitCountsAndTheFirstDifferenceOfEachAreaIsShownInHex) {
  World a = makeWorld(), b = makeWorld();
  EXPECT_EQ(compareWorlds(a, b), "");
  b.net.wei1[5] = std::nextafter(a.net.wei1[5], 2.0);
  b.net.fout[2] = -a.net.fout[2];  // 0.0 against -0.0
  b.store.nsscode.assign(a.store.nsscode.size() + 1, 0);
  const std::string wei1 = "wei1[5] differs: expected " + hexReal(a.net.wei1[5]) + " vs " + hexReal(b.net.wei1[5]);
  EXPECT_EQ(compareWorlds(a, b),
            wei1 + "\nfout[2] differs: expected 0x0p+0 vs -0x0p+0\nnsscode: " + std::to_string(a.store.nsscode.size()) +
                " values expected, " + std::to_string(b.store.nsscode.size()) + " found\n");
  EXPECT_EQ(hexReal(0.75), "0x1.8p-1");
  const double quiet = std::numeric_limits<double>::quiet_NaN();
  const double other = -quiet;
  EXPECT_EQ(firstBitDifference("v", &quiet, &other, 1), "v[0] differs: expected nan vs -nan\n");
  EXPECT_EQ(firstBitDifference("v", &quiet, &quiet, 1), "");
  // The same in the tests' own check of single values.
  EXPECT_NONFATAL_FAILURE(EXPECT_SAME_BITS(0.0, -0.0), "0.0 and -0.0 differ in their bits: 0x0p+0 vs -0x0p+0");
  EXPECT_NONFATAL_FAILURE(EXPECT_SAME_BITS(1.0, 1.0000000000000002), "0x1p+0 vs 0x1.0000000000001p+0");
  EXPECT_SAME_BITS(0.1 + 0.2, 0.30000000000000004);
}

TEST(FastTanh, EveryKernelSetGivesTheBitsOfStdTanh) {
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> exponent(-60.0, 6.0);
  std::vector<double> xs;
  for (int i = 0; i < 1500000; ++i) xs.push_back((random() & 1 ? -1.0 : 1.0) * std::exp2(exponent(random)));
  for (int i = 0; i < 100000; ++i) {
    const std::uint64_t b = random();
    double d;
    std::memcpy(&d, &b, sizeof d);
    xs.push_back(d);
  }
  const double ln2 = std::log(2.0);
  for (double edge : {1.0, 22.0, 0.25 * ln2, 0.75 * ln2, 0x1p-55, 0x1p-1022, std::numeric_limits<double>::max()})
    for (double sign : {1.0, -1.0}) {
      double below = sign * edge, above = below;
      for (int step = 0; step < 64; ++step) {
        xs.insert(xs.end(), {below, above});
        below = std::nextafter(below, 0.0);
        above = std::nextafter(above, sign * std::numeric_limits<double>::infinity());
      }
    }
  for (int k = 1; k <= 64; ++k) xs.push_back((k - 0.5) * ln2 / 2);
  xs.insert(xs.end(), {0.0, -0.0, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                       std::numeric_limits<double>::quiet_NaN()});

  for (const fast::KernelSet* k : runnableKernelSets()) {
    if (kernelSetName(*k) != "sse2") {
      EXPECT_TRUE(k->tanhInVectors()) << kernelSetName(*k);
    }
    for (double gain : {1.0, 0.5}) {
      std::vector<double> got(xs.size());
      // Uneven lengths: the last vector of each call is partly padding.
      for (std::size_t at = 0; at < xs.size(); at += 101) {
        const int n = static_cast<int>(std::min<std::size_t>(101, xs.size() - at));
        k->tanhEach(gain, xs.data() + at, got.data() + at, n);
      }
      int wrong = 0;
      for (std::size_t i = 0; i < xs.size() && wrong < 5; ++i) {
        const double want = std::tanh(gain * xs[i]);
        if (std::memcmp(&want, &got[i], sizeof want) != 0) {
          ++wrong;
          ADD_FAILURE() << kernelSetName(*k) << " tanh(" << hexReal(gain) << " * " << hexReal(xs[i])
                        << "): " << hexReal(got[i]) << ", std::tanh " << hexReal(want);
        }
      }
    }
  }
}

// The switch of makeEngine: the kernel set and thread count asked for (the environment's say over
// them is config/environment.h's, tested in test_environment.cpp).
TEST(FastDispatch, MakesTheKernelSetAndThreadsAskedFor) {
  World w;
  w.net.outs.assign(3, 0.0);
  auto made = [&](KernelChoice kernels, const fast::KernelSet* forced, int threads) {
    return makeEngine(w.net, w.store, EngineChoice{kernels, forced, threads});
  };
  const std::string best = kernelSetName(*runnableKernelSets().front());
  EXPECT_EQ(made(KernelChoice::kBest, nullptr, 2)->name(), "fast-" + best + " x2");
  EXPECT_EQ(made(KernelChoice::kReference, nullptr, 2)->name(), "reference");
  EXPECT_EQ(made(KernelChoice::kFast, nullptr, 1)->name(), "fast-" + best);
  const fast::KernelSet* last = runnableKernelSets().back();
  EXPECT_EQ(made(KernelChoice::kFast, last, 3)->name(), "fast-" + kernelSetName(*last) + " x3");
  // A forced set counts only with kFast.
  EXPECT_EQ(made(KernelChoice::kReference, last, 3)->name(), "reference");
  std::unique_ptr<Engine> dflt = made(KernelChoice::kBest, nullptr, 0);
  ASSERT_NE(dynamic_cast<FastEngine*>(dflt.get()), nullptr);
  EXPECT_EQ(dynamic_cast<FastEngine*>(dflt.get())->threads(), defaultThreads());
  std::unique_ptr<Engine> plain = makeEngine(w.net, w.store);
  ASSERT_NE(dynamic_cast<FastEngine*>(plain.get()), nullptr);
  EXPECT_EQ(dynamic_cast<FastEngine*>(plain.get())->threads(), defaultThreads());
}

}  // namespace
}  // namespace kelvor
