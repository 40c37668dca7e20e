// The accuracy of a pass: the share of residues whose summed class code lies within a tenth of
// the observed one, and the clearing of the sums.
#include <gtest/gtest.h>

#include <cmath>

#include "dataset/store.h"
#include "network/scores.h"

namespace kelvor {
namespace {

TEST(Calcerr, FractionWithinATenthOfTheObservedCode) {
  DataStore s;
  for (int i = 0; i < 4; ++i) s.addResidue();
  const double observed[4] = {0.5, -0.2, -0.6, -0.6}, predicted[4] = {0.5, -0.6, -0.6, 0.5};
  for (int i = 0; i < 4; ++i) {
    s.fin(i + 1, 36) = observed[i];
    s.sscode[i] = predicted[i];
  }
  calcerr(s, 1, 4);
  EXPECT_EQ(s.score(), 0.5);
  calcerr(s, 1, 1);
  EXPECT_EQ(s.score(), 1.0);
  s.sscode[0] = 0.0;  // never predicted
  calcerr(s, 1, 1);
  EXPECT_EQ(s.score(), 0.0);
  s.sscode[0] = 1.0;  // two helix codes
  calcerr(s, 1, 1);
  EXPECT_EQ(s.score(), 0.0);
  s.sscode[0] = 0.4;  // 0.5 - 0.4 is not above 0.1 in doubles
  calcerr(s, 1, 1);
  EXPECT_EQ(s.score(), std::fabs(0.4 - 0.5) > 0.1 ? 0.0 : 1.0);
  calcerr(s, 3, 2);
  EXPECT_TRUE(std::isnan(s.score()));
  initphi(s);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(s.sscode[i], 0.0);
}

}  // namespace
}  // namespace kelvor
