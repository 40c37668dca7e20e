// The fast engine's memory and layouts: an arena gets exactly what its plan counts, in aligned
// pieces; the panels take every value of the Network into a place of its own, leave the padding
// lanes zero, keep the two copies of wei2 in agreement and give every value back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "dataset/store.h"
#include "network/fast/arena.h"
#include "network/fast/engine.h"
#include "network/fast/layout.h"
#include "network/fast/panels.h"
#include "network/state.h"

namespace kelvor::fast {
namespace {

std::uintptr_t address(const double* p) { return reinterpret_cast<std::uintptr_t>(p); }

TEST(FastArena, APlanGetsTheMemoryItCountedInAlignedZeroPiecesHalfAPageApartWhereAsked) {
  const std::vector<std::size_t> sizes = {1, 17, 700, 5, 4096, 3, 9};
  std::vector<double*> pieces;
  auto arena = Arena::carve([&](Arena& a) {
    pieces.clear();
    pieces.push_back(a.take(sizes[0]));
    pieces.push_back(a.takeApart(sizes[1], pieces[0]));
    for (std::size_t i = 2; i + 1 < sizes.size(); ++i) pieces.push_back(a.take(sizes[i]));
    pieces.push_back(a.takeApart(sizes.back(), pieces[3]));
  });
  const std::size_t pageDoubles = Arena::kPage / sizeof(double);
  EXPECT_LE(arena->used(), arena->capacity());
  EXPECT_LT(arena->capacity() - arena->used(), pageDoubles) << "more than a page beyond what the plan took";
  EXPECT_EQ(arena->capacity() % pageDoubles, 0u);

  const std::uintptr_t begin = address(pieces[0]);
  const std::uintptr_t end = begin + arena->capacity() * sizeof(double);
  EXPECT_EQ(begin % Arena::kPage, 0u);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    EXPECT_EQ(address(pieces[i]) % Arena::kPieceAlign, 0u) << "piece " << i;
    EXPECT_LE(address(pieces[i] + sizes[i]), end) << "piece " << i;
    if (i > 0) {
      EXPECT_GE(address(pieces[i]), address(pieces[i - 1] + sizes[i - 1])) << "piece " << i << " overlaps";
    }
    for (std::size_t j = 0; j < sizes[i]; ++j) ASSERT_EQ(pieces[i][j], 0.0) << "piece " << i;
  }
  EXPECT_EQ((address(pieces[1]) - address(pieces[0])) % Arena::kPage, Arena::kPage / 2);
  EXPECT_EQ((address(pieces.back()) - address(pieces[3])) % Arena::kPage, Arena::kPage / 2);
}

TEST(FastArena, APlanThatCarvesOtherwiseThanItCountedIsRefused) {
  int run = 0;
  // More than counted runs past the memory: refused at the piece that does.
  EXPECT_THROW(Arena::carve([&](Arena& a) { a.take(++run == 1 ? 8 : 8 + 4096); }), std::logic_error);
  run = 0;
  // Less than counted: refused when the plan ends.
  EXPECT_THROW(Arena::carve([&](Arena& a) { a.take(++run == 1 ? 64 : 16); }), std::logic_error);
}

// A Network whose weights, previous changes and factors are all different values (none zero), so
// that a value in another's place, or in no place, is seen; dcayhid a function of |m - k| as the
// engine needs.
Network distinctNetwork() {
  Network net;
  double v = 0.0;
  auto fill = [&](auto& a) {
    for (double& x : a) x = (v += 1.0);
  };
  fill(net.wei1);
  fill(net.owei1);
  fill(net.wei2);
  fill(net.owei2);
  fill(net.pwei);
  fill(net.fwei1);
  fill(net.ofwei1);
  fill(net.fwei2);
  fill(net.ofwei2);
  fill(net.dcayin);
  fill(net.dcayout);
  fill(net.fdcayin);
  fill(net.fdcayout);
  for (int m = 1; m <= kHidden; ++m)
    for (int k = 1; k <= kHidden; ++k) net.dcayhid[dhid(m, k)] = 0.5 + std::abs(m - k);
  return net;
}

// The Network as the panels give it back: the values of the unused bias-slot rows of wei1 and
// fwei1 (features 2.. of slot 22) do not travel.
Network travelled(Network net) {
  for (int h = 1; h <= kHidden; ++h)
    for (int f = 2; f <= kFeatures; ++f) net.wei1[w1(kBiasSlot, f, h)] = net.owei1[w1(kBiasSlot, f, h)] = 0.0;
  for (int h = 1; h <= kFHidden; ++h)
    for (int c = 2; c <= kOutputs; ++c) net.fwei1[fw1(kBiasSlot, c, h)] = net.ofwei1[fw1(kBiasSlot, c, h)] = 0.0;
  return net;
}

TEST(FastPanels, EveryValueTravelsToAPlaceOfItsOwnAndBackOnEveryLayout) {
  const Network net = distinctNetwork();
  const Network expected = travelled(net);
  const unsigned all = kWeights | kChanges | kFactors;
  for (const KernelSet* k : runnableKernelSets()) {
    for (int threads = 1; threads <= 5; ++threads) {
      const std::string label = std::string(k->name) + " x" + std::to_string(threads);
      FirstLayout L;
      layOutFirst(L, *k, threads);
      FilterLayout F;
      layOutFilter(F, *k);
      toPanels(net, L, all);
      toPanels(net, F, all);

      for (int t = 0; t < threads; ++t) {
        const FirstSlice& sl = L.slices[t];
        // Padding lanes hold nothing: the kernels count on their zeros.
        for (int q = sl.real; q < sl.width; ++q) {
          for (int r = 0; r < kRows1; ++r) ASSERT_EQ(sl.w1[panelAt(sl, kRows1, q, r)], 0.0) << label;
          for (int r = 0; r < kRowsA; ++r) ASSERT_EQ(sl.aw[panelAt(sl, kRowsA, q, r)], 0.0) << label;
          for (int r = 0; r < kRowsIn; ++r) ASSERT_EQ(sl.d1[panelAt(sl, kRowsIn, q, r)], 0.0) << label;
        }
        // Copy B (row h, column k) is copy A (row k, column h), weights and previous changes.
        if (threads == 1) {
          EXPECT_EQ(sl.bw, nullptr) << label;
          continue;
        }
        for (int q = 0; q < sl.real; ++q)
          for (int kk = 0; kk < kHidden; ++kk) {
            const std::pair<int, int> c = laneOf(L, kk);
            const FirstSlice& col = L.slices[c.first];
            const std::size_t a = panelAt(col, kRowsA, c.second, sl.base + q), b = panelAt(sl, kRowsB, q, kk);
            ASSERT_EQ(sl.bw[b], col.aw[a]) << label << " h " << sl.base + q << " k " << kk;
            ASSERT_EQ(sl.bp[b], col.ap[a]) << label << " h " << sl.base + q << " k " << kk;
          }
      }

      Network back;
      fromPanels(L, back, kWeights | kChanges);
      fromPanels(F, back, kWeights | kChanges);
      EXPECT_TRUE(back.wei1 == expected.wei1) << label;
      EXPECT_TRUE(back.owei1 == expected.owei1) << label;
      EXPECT_TRUE(back.wei2 == expected.wei2) << label;
      EXPECT_TRUE(back.owei2 == expected.owei2) << label;
      EXPECT_TRUE(back.pwei == expected.pwei) << label;
      EXPECT_TRUE(back.fwei1 == expected.fwei1) << label;
      EXPECT_TRUE(back.ofwei1 == expected.ofwei1) << label;
      EXPECT_TRUE(back.fwei2 == expected.fwei2) << label;
      EXPECT_TRUE(back.ofwei2 == expected.ofwei2) << label;

      // Weights alone leave the previous changes where they are, and the reverse.
      Network weightsOnly;
      fromPanels(L, weightsOnly, kWeights);
      EXPECT_TRUE(weightsOnly.wei1 == expected.wei1) << label;
      EXPECT_TRUE(std::all_of(weightsOnly.owei1.begin(), weightsOnly.owei1.end(), [](double x) { return x == 0.0; }))
          << label;
      EXPECT_TRUE(std::equal(weightsOnly.pwei.begin(), weightsOnly.pwei.begin() + kHiddenBias * kOutputs,
                             expected.pwei.begin()))
          << label;
      EXPECT_TRUE(std::all_of(weightsOnly.pwei.begin() + kHiddenBias * kOutputs, weightsOnly.pwei.end(), [](double x) {
        return x == 0.0;
      })) << label;
    }
  }
}

TEST(FastPanels, AttenuationThatIsNotAFunctionOfTheDistanceIsRefused) {
  Network net = distinctNetwork();
  net.dcayhid[dhid(3, 7)] += 1.0;  // no longer dcayhid(7, 3)
  FirstLayout L;
  layOutFirst(L, *runnableKernelSets().front(), 2);
  EXPECT_THROW(toPanels(net, L, kFactors), std::logic_error);
  DataStore store;
  EXPECT_THROW(FastEngine(net, store, *runnableKernelSets().front(), 1), std::logic_error);
}

}  // namespace
}  // namespace kelvor::fast
