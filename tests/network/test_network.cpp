// Forward passes, scoring and training steps of both networks (the accuracy of a pass is tested
// in tests/run/test_scores.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "network/netinit.h"
#include "network/reference/kernels.h"
#include "tests/support/bit_checks.h"
#include "tests/support/synthetic_store.h"
#include "tests/support/test_support.h"

namespace kelvor {
namespace {

struct Fixture {
  Network net;
  DataStore store;
  explicit Fixture(const std::vector<int>& lengths = {30, 1, 5}, double gain = 0.5) {
    net.gain = gain;
    net.rate = 0.01;
    net.momentum = 0.5;
    net.dcay = 1.0;
    store.xin(22, 1) = 1.0;
    net.hid1[102] = net.hid2[102] = net.fhid[22] = 1.0;
    int seed = 12345;
    drawWeights(net, seed);
    attenuation(net);
    test::fillSyntheticStore(store, lengths, 99);
    net.outs.assign(store.nta * 3, 0.0);
  }
};

TEST(Scoring, LargestOutputWinsWithHelixThenStrandOnTies) {
  EXPECT_EQ(classCode(0.1, 0.3, 0.3), 0.5);
  EXPECT_EQ(classCode(0.3, 0.3, 0.1), -0.6);
  EXPECT_EQ(classCode(0.1, 0.3, 0.2), -0.2);
  EXPECT_EQ(classCode(0.2, 0.2, 0.2), 0.5);
  EXPECT_EQ(classCode(0.9, 0.3, 0.2), -0.6);
  EXPECT_EQ(classCode(0.3, 0.1, 0.3), 0.5);
}

TEST(Calcnet, GainZeroMakesEveryOutputZeroAndScoresHelix) {
  Fixture fx({25}, 0.0);
  readwin(fx.store, 12);
  calcnet(fx.net, fx.store, 12);
  for (int c = 1; c <= 3; ++c) EXPECT_EQ(fx.net.out(12, c), 0.0);
  EXPECT_EQ(fx.store.sscode[11], 0.5);
  calcnet(fx.net, fx.store, 12);  // accumulated twice without clearing
  EXPECT_EQ(fx.store.sscode[11], 1.0);
  EXPECT_EQ(fx.store.nsscode[11], 2);
}

TEST(Calcnet, OutputsDoNotDependOnWhatTheWindowHeldBefore) {
  Fixture fx;
  readwin(fx.store, 31);  // the one-residue protein: only slot 11
  calcnet(fx.net, fx.store, 31);
  const double o[3] = {fx.net.out(31, 1), fx.net.out(31, 2), fx.net.out(31, 3)};
  readwin(fx.store, 15);  // fill every slot with other values
  calcnet(fx.net, fx.store, 15);
  readwin(fx.store, 31);
  calcnet(fx.net, fx.store, 31);
  for (int c = 1; c <= 3; ++c) EXPECT_SAME_BITS(fx.net.out(31, c), o[c - 1]);

  // The sums, written out: window outer, feature inner, then the bias; (x * w) * d.
  double full = 0.0;
  for (int f = 1; f <= 30; ++f) full += (fx.store.fin(31, f) * fx.net.wei1[w1(11, f, 7)]) * fx.net.dcayin[din(11, 7)];
  full += fx.net.wei1[w1(22, 1, 7)] * 1.0;
  EXPECT_SAME_BITS(fx.net.hid1[7], std::tanh(0.5 * full));
}

TEST(Calcnetf, NeighboursWithZeroOutputsLeaveTheBiasesAlone) {
  Fixture fx;
  std::fill(fx.net.outs.begin(), fx.net.outs.end(), 0.0);
  readwinf(fx.net, fx.store, 3);
  calcnetf(fx.net, fx.store, 3);
  for (int h = 1; h <= 21; ++h) EXPECT_SAME_BITS(fx.net.fhid[h], std::tanh(0.5 * (0.0 + fx.net.fwei1[fw1(22, 1, h)])));
  EXPECT_EQ(fx.store.targ(1), fx.store.fin(3, 33));
}

TEST(Calcnetf, FilterWindowIsCutAtProteinEnds) {
  Fixture fx;
  for (std::size_t i = 0; i < fx.net.outs.size(); ++i) fx.net.outs[i] = std::sin(0.1 * i);
  readwinf(fx.net, fx.store, 31);
  calcnetf(fx.net, fx.store, 31);
  const double f1 = fx.net.fout[1];
  for (std::size_t i = 0; i < 30 * 3; ++i) fx.net.outs[i] = 5.0;  // the neighbouring protein
  for (std::size_t i = 31 * 3; i < fx.net.outs.size(); ++i) fx.net.outs[i] = -5.0;
  readwinf(fx.net, fx.store, 31);
  calcnetf(fx.net, fx.store, 31);
  EXPECT_SAME_BITS(fx.net.fout[1], f1);
}

TEST(Backprop, NoRateNoMomentumZeroesThePreviousChangesOnly) {
  Fixture fx;
  fx.net.rate = 0.0;
  fx.net.momentum = 0.0;
  const Network before = fx.net;
  readwin(fx.store, 15);
  calcnet(fx.net, fx.store, 15);
  backprop(fx.net, fx.store, 15);
  EXPECT_SAME_BITS(fx.net.wei1, before.wei1);
  EXPECT_SAME_BITS(fx.net.wei2, before.wei2);
  for (int i = 1; i <= 21; ++i) EXPECT_EQ(fx.net.owei1[w1(i, 3, 9)], 0.0);
  EXPECT_EQ(fx.net.owei1[w1(22, 1, 9)], 0.0);
  EXPECT_SAME_BITS(fx.net.owei1[w1(22, 2, 9)], before.owei1[w1(22, 2, 9)]);  // spare slot untouched
  EXPECT_EQ(fx.net.pwei[pw(102, 3 + 3)], 0.0);
}

TEST(Backprop, MomentumAloneStillMovesEveryTouchedWeight) {
  Fixture fx;
  fx.net.rate = 0.0;
  const Network before = fx.net;
  readwin(fx.store, 1);  // first residue: slots 11..21
  calcnet(fx.net, fx.store, 1);
  backprop(fx.net, fx.store, 1);
  for (int h : {1, 50, 101}) {
    const std::size_t at = w1(15, 2, h);
    EXPECT_SAME_BITS(fx.net.wei1[at], before.wei1[at] + (0.0 * 0.0 + 0.5 * before.owei1[at]));
    for (int i = 1; i <= 10; ++i) {
      EXPECT_SAME_BITS(fx.net.wei1[w1(i, 2, h)], before.wei1[w1(i, 2, h)]);
      EXPECT_SAME_BITS(fx.net.owei1[w1(i, 2, h)], before.owei1[w1(i, 2, h)]);
    }
  }
  EXPECT_SAME_BITS(fx.net.wei2[w2(4, 8)], before.wei2[w2(4, 8)] + 0.5 * before.owei2[w2(4, 8)]);
}

TEST(Backprop, OutputErrorTermAndTheBiasUpdate) {
  Fixture fx;
  readwin(fx.store, 15);
  calcnet(fx.net, fx.store, 15);
  // Make output 1 exactly 0.6 against target 1 with gain 0.5: error term 0.128.
  fx.net.out(15, 1) = 0.6;
  fx.store.targ(1) = 1.0;
  fx.net.out(15, 2) = 1.0;               // an output of exactly 1: error term 0
  fx.net.out(15, 3) = fx.store.targ(3);  // output equal to target: 0
  const Network before = fx.net;
  backprop(fx.net, fx.store, 15);
  const double biro2 = 0.5 * (1.0 - 0.6) * (1.0 - 0.6 * 0.6);
  EXPECT_NEAR(biro2, 0.128, 1e-15);
  EXPECT_SAME_BITS(fx.net.pwei[pw(102, 1)], before.pwei[pw(102, 1)] + (0.01 * biro2 + 0.5 * before.pwei[pw(102, 4)]));
  EXPECT_SAME_BITS(fx.net.pwei[pw(102, 2)], before.pwei[pw(102, 2)] + (0.01 * 0.0 + 0.5 * before.pwei[pw(102, 5)]));
  EXPECT_SAME_BITS(fx.net.pwei[pw(102, 3)], before.pwei[pw(102, 3)] + (0.01 * 0.0 + 0.5 * before.pwei[pw(102, 6)]));
  // An output weight: G = (BIRO2 * dcayout) * hid2.
  const double g = (biro2 * fx.net.dcayout[7]) * before.hid2[7];
  EXPECT_SAME_BITS(fx.net.pwei[pw(7, 1)], before.pwei[pw(7, 1)] + (0.01 * g + 0.5 * before.pwei[pw(7, 4)]));
}

TEST(Backprop, ErrorTermsUseTheWeightsAsTheyStoodAtTheCall) {
  Fixture fx;
  readwin(fx.store, 20);
  calcnet(fx.net, fx.store, 20);
  const Network before = fx.net;
  backprop(fx.net, fx.store, 20);
  // Recompute hidden-1 neuron 5's error term from the old weights and check one input weight.
  const double g = 0.5;
  double biro2[4];
  for (int c = 1; c <= 3; ++c) {
    const double o = before.out(20, c);
    biro2[c] = g * (fx.store.targ(c) - o) * (1.0 - o * o);
  }
  double sum1 = 0.0;
  for (int k = 1; k <= 101; ++k) {
    double s = 0.0;
    for (int c = 1; c <= 3; ++c) s += before.pwei[pw(k, c)] * (biro2[c] * before.dcayout[k]);
    const double birh2 = g * (1.0 - before.hid2[k] * before.hid2[k]) * s;
    sum1 += before.wei2[w2(5, k)] * (birh2 * before.dcayhid[dhid(5, k)]);
  }
  const double birh1 = g * (1.0 - before.hid1[5] * before.hid1[5]) * sum1;
  const std::size_t at = w1(3, 17, 5);
  const double grad = (birh1 * before.dcayin[din(3, 5)]) * fx.store.xin(3, 17);
  EXPECT_SAME_BITS(fx.net.wei1[at], before.wei1[at] + (0.01 * grad + 0.5 * before.owei1[at]));
  EXPECT_SAME_BITS(fx.net.owei1[at], 0.01 * grad + 0.5 * before.owei1[at]);
}

TEST(Backpropf, OneStepChangesOnlyTheFilterAndItsBiasAsStated) {
  Fixture fx;
  for (std::size_t i = 0; i < fx.net.outs.size(); ++i) fx.net.outs[i] = std::cos(0.3 * i);
  readwinf(fx.net, fx.store, 12);
  calcnetf(fx.net, fx.store, 12);
  const Network before = fx.net;
  backpropf(fx.net, fx.store, 12);
  for (int c = 1; c <= 3; ++c) {
    const double o = before.fout[c];
    const double biro2 = 0.5 * (fx.store.targ(c) - o) * (1.0 - o * o);
    EXPECT_SAME_BITS(fx.net.fwei2[fw2(22, c)],
                     before.fwei2[fw2(22, c)] + (0.01 * biro2 + 0.5 * before.ofwei2[fw2(22, c)]));
  }
  EXPECT_SAME_BITS(fx.net.wei1, before.wei1);
  EXPECT_SAME_BITS(fx.net.outs, before.outs);
  EXPECT_SAME_BITS(fx.net.pwei, before.pwei);
  for (int h = 1; h <= 21; ++h)
    for (int c = 2; c <= 3; ++c) EXPECT_SAME_BITS(fx.net.fwei1[fw1(22, c, h)], before.fwei1[fw1(22, c, h)]);
}

}  // namespace
}  // namespace kelvor
