// The random generator, the seed formula, the weight draws and the attenuation factors.
#include <gtest/gtest.h>

#include <cmath>

#include "dataset/store.h"
#include "ground/errors.h"
#include "network/netinit.h"
#include "network/state.h"
#include "tests/support/bit_checks.h"
#include "tests/support/test_support.h"

namespace kelvor {
namespace {

TEST(Randnm, ExamplesOfTheGenerator) {
  int seed = 1;
  EXPECT_SAME_BITS(randnm(seed), 1.0 / 2147483711.0);
  EXPECT_EQ(seed, 16807);
  EXPECT_SAME_BITS(randnm(seed), 16807.0 / 2147483711.0);
  seed = 0;
  EXPECT_SAME_BITS(randnm(seed), 2147483647.0 / 2147483711.0);
  EXPECT_EQ(seed, 0);
  seed = -5;
  EXPECT_SAME_BITS(randnm(seed), 2147483642.0 / 2147483711.0);
  EXPECT_EQ(seed, 2147399612);
  seed = 2147483646;  // the largest state: the product stays exact
  const double r = randnm(seed);
  EXPECT_LT(r, 1.0);
  EXPECT_EQ(seed, static_cast<int>((16807LL * 2147483646LL) % 2147483647LL));
}

TEST(SeedFormula, MidnightWithOffsetSevenGivesSix) { EXPECT_EQ(seedFromTime(7, {0, 0, 0}), 6); }

TEST(SeedFormula, UsesSinglePrecisionQuotientsAndIsRefusedOutOfRange) {
  // Hand computation with the widened single-precision constants.
  const TimeOfDay t{13, 47, 29};
  const double a = static_cast<float>(13 / static_cast<double>(1.74f));
  const double b = static_cast<float>(47 / static_cast<double>(4.35f));
  const int k = static_cast<int>(std::trunc(std::exp(29 / static_cast<double>(2.8f)))) % 61;
  const double sum = 3 + std::exp(a) + std::exp(b) + std::exp(k / static_cast<double>(2.8f));
  int p = 1;
  for (int i = 0; i < static_cast<int>(std::trunc(std::log10(sum))); ++i) p *= 10;
  const int want =
      static_cast<int>(std::trunc(k / static_cast<double>(2.8f) + std::fabs(p * (sum - static_cast<int>(sum)) - sum)));
  EXPECT_EQ(seedFromTime(3, t), want);
  EXPECT_FALSE(seedFromTime(-4, {0, 0, 0}).has_value());          // the sum is negative: no log10
  EXPECT_TRUE(seedFromTime(-3, {0, 0, 0}).has_value());           // 0.43: log10 < 0, p = 1
  EXPECT_FALSE(seedFromTime(2147483647, {0, 0, 0}).has_value());  // the sum leaves 32 bits
  EXPECT_TRUE(seedFromTime(-2, {0, 0, 0}).has_value());
  for (int s = 0; s < 60; ++s) EXPECT_TRUE(seedFromTime(100000000, {23, 59, s}).has_value()) << s;
}

TEST(Netinit, GivesTheSeedSetsBiasesAndDrawsInOrderWritingNothing) {
  Network net;
  DataStore store;
  net.dcay = 1.0;
  testing::internal::CaptureStdout();
  EXPECT_EQ(netinit(net, store, 7, {0, 0, 0}), 6);  // the seed before the draws
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // the caller writes the seed line
  EXPECT_THROW(netinit(net, store, -4, {0, 0, 0}), ConfigError);

  EXPECT_EQ(store.xin(22, 1), 1.0);
  EXPECT_EQ(net.hid1[102], 1.0);
  EXPECT_EQ(net.hid2[102], 1.0);
  EXPECT_EQ(net.fhid[22], 1.0);

  // Replay the generator: wei1 with h fastest, then wei2, pwei, fwei1, fwei2; 78720 draws.
  int seed = 6;
  auto next = [&] { return randnm(seed) - 0.5; };
  for (int i = 1; i <= 22; ++i)
    for (int f = 1; f <= 30; ++f)
      for (int h = 1; h <= 101; ++h) {
        const double w = next();
        ASSERT_SAME_BITS(net.wei1[w1(i, f, h)], w);
        ASSERT_SAME_BITS(net.owei1[w1(i, f, h)], w / 10.0);
      }
  for (int m = 1; m <= 102; ++m)
    for (int k = 1; k <= 101; ++k) ASSERT_SAME_BITS(net.wei2[w2(m, k)], next());
  for (int m = 1; m <= 102; ++m)
    for (int c = 1; c <= 3; ++c) {
      const double w = next();
      ASSERT_SAME_BITS(net.pwei[pw(m, c)], w);
      ASSERT_SAME_BITS(net.pwei[pw(m, c + 3)], w / 10.0);
    }
  for (int i = 1; i <= 22; ++i)
    for (int c = 1; c <= 3; ++c)
      for (int h = 1; h <= 21; ++h) ASSERT_SAME_BITS(net.fwei1[fw1(i, c, h)], next());
  for (int m = 1; m <= 22; ++m)
    for (int c = 1; c <= 3; ++c) {
      const double w = next();
      ASSERT_SAME_BITS(net.fwei2[fw2(m, c)], w);
      ASSERT_SAME_BITS(net.ofwei2[fw2(m, c)], w / 10.0);
    }
  EXPECT_EQ(store.seed, seed);
}

TEST(Attenuation, EqualsDcayWhereNeuronsMeetAndScalesLinearly) {
  Network net;
  net.dcay = 2.5;
  attenuation(net);
  EXPECT_EQ(net.dcayin[din(1, 1)], 2.5);
  EXPECT_EQ(net.dcayin[din(21, 101)], 2.5);
  EXPECT_EQ(net.dcayout[51], 2.5);
  for (int m = 1; m <= 101; ++m) EXPECT_EQ(net.dcayhid[dhid(m, m)], 2.5);
  for (int h = 1; h <= 21; ++h) EXPECT_EQ(net.fdcayin[fdin(h, h)], 2.5);
  EXPECT_EQ(net.fdcayout[11], 2.5);
  EXPECT_SAME_BITS(net.fdcayin[fdin(1, 21)], 2.5 / std::sqrt(401.0));
  EXPECT_SAME_BITS(net.dcayin[din(1, 101)], 2.5 / std::sqrt(1.0 + 20.0 * 20.0));
  EXPECT_SAME_BITS(net.dcayhid[dhid(1, 101)], 2.5 / std::sqrt(1.0 + 0.04000000000000001 * 10000));
  EXPECT_SAME_BITS(net.dcayout[1], 2.5 / std::sqrt(1.0 + (0.2 * -50) * (0.2 * -50)));

  Network unit;
  unit.dcay = 1.0;
  attenuation(unit);
  for (int i = 1; i <= 21; ++i)
    for (int h = 1; h <= 101; ++h) ASSERT_DOUBLE_EQ(net.dcayin[din(i, h)], 2.5 * unit.dcayin[din(i, h)]);
  Network zero;
  attenuation(zero);
  EXPECT_EQ(zero.dcayin[din(3, 7)], 0.0);
}

}  // namespace
}  // namespace kelvor
