// Q3, per-class accuracy, Matthews correlation, the confusion matrix and SOV'99.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "tools/predict/class_scores.h"
#include "tools/predict/ensemble.h"

namespace kelvor::predict {
namespace {

struct PublishedCase {
  const char* predicted;
  double q3, sov;
};

// The examples of the SOV'99 paper: one reference chain, four predictions.
TEST(Sov99, PublishedVectors) {
  const std::string reference = "CHHHHHHHHHHC";
  const PublishedCase cases[] = {{"CHCHCHCHCHCC", 0.583, 0.125},
                                 {"CHHHCHHHCHHC", 0.833, 0.406},
                                 {"CCCHHHHCCCCC", 0.50, 0.544},
                                 {"CCCHHHHHHHHC", 0.833, 0.944}};
  for (const PublishedCase& c : cases) {
    SCOPED_TRACE(c.predicted);
    StageTally t;
    const auto [q3, sov] = t.addChain(reference, c.predicted);
    EXPECT_NEAR(q3, c.q3, 0.001);
    EXPECT_NEAR(sov, c.sov, 0.001);
    EXPECT_DOUBLE_EQ(t.confusion.q3(), q3);
    EXPECT_DOUBLE_EQ(t.sov.overall(), sov);
  }
}

TEST(Sov99, PerClassScoresAndUnmatchedSegments) {
  // Helix 2..11 against a predicted helix 4..7: minov 4, maxov 10, delta min(6, 4, 5, 2) = 2.
  // Coil: residue 1 against 1..3 scores 1/3, residue 12 against 8..12 scores 1/5.
  SovSums s = sov99("CHHHHHHHHHHC", "CCCHHHHCCCCC");
  EXPECT_NEAR(s.ofClass(kHelix), 0.6, 1e-12);
  EXPECT_NEAR(s.ofClass(kCoil), (1.0 / 3.0 + 0.2) / 2.0, 1e-12);
  EXPECT_TRUE(std::isnan(s.ofClass(kStrand)));  // no observed strand

  // An observed helix that no predicted helix touches counts in the norm only.
  s = sov99("CHHHC", "CCCCC");
  EXPECT_EQ(s.ofClass(kHelix), 0.0);
  EXPECT_NEAR(s.overall(), (0.2 + 0.2) / 5.0, 1e-12);

  // Identical strings score 1 in every class they hold.
  s = sov99("EEECCHHHHCE", "EEECCHHHHCE");
  for (int c = 0; c < 3; ++c) EXPECT_DOUBLE_EQ(s.ofClass(c), 1.0);
}

TEST(Sov99, ChainsArePooledAndAveraged) {
  StageTally t;
  t.addChain("CHHHHHHHHHHC", "CHCHCHCHCHCC");  // 6.5 / 52
  t.addChain("CHHHHHHHHHHC", "CCCHHHHHHHHC");  // (10 + 1/3 + 1) / 12
  EXPECT_NEAR(t.sov.overall(), (6.5 + 34.0 / 3.0) / 64.0, 1e-12);
  EXPECT_NEAR(t.sovPerChain(), (0.125 + 34.0 / 36.0) / 2.0, 1e-12);
  EXPECT_NEAR(t.confusion.q3(), (7.0 + 10.0) / 24.0, 1e-12);
  EXPECT_NEAR(t.q3PerChain(), (7.0 / 12.0 + 10.0 / 12.0) / 2.0, 1e-12);
  // An empty chain adds nothing, and has no scores of its own.
  const auto [q3, sov] = t.addChain("", "");
  EXPECT_TRUE(std::isnan(q3));
  EXPECT_TRUE(std::isnan(sov));
  EXPECT_EQ(t.q3Chains, 2);
}

// Observed EEEE CCCCCC HHHHHHH predicted EEEC ECCCCH CCHHHHH: the matrix
//   E: 3 1 0    C: 1 4 1    H: 0 2 5
TEST(Confusion, MatrixAccuracyAndMatthewsCorrelation) {
  StageTally t;
  t.addChain("EEEECCCCCCHHHHHHH", "EEECECCCCHCCHHHHH");
  const Confusion& m = t.confusion;
  const long long expected[3][3] = {{3, 1, 0}, {1, 4, 1}, {0, 2, 5}};
  for (int o = 0; o < 3; ++o)
    for (int p = 0; p < 3; ++p) EXPECT_EQ(m.n[o][p], expected[o][p]) << o << "," << p;
  EXPECT_NEAR(m.q3(), 12.0 / 17.0, 1e-12);
  EXPECT_NEAR(m.accuracyObserved(kHelix), 5.0 / 7.0, 1e-12);
  EXPECT_NEAR(m.accuracyPredicted(kHelix), 5.0 / 6.0, 1e-12);
  EXPECT_NEAR(m.accuracyObserved(kCoil), 4.0 / 6.0, 1e-12);
  EXPECT_NEAR(m.accuracyPredicted(kCoil), 4.0 / 7.0, 1e-12);
  // H: tp 5, fn 2, fp 1, tn 9.  E: tp 3, fn 1, fp 1, tn 12.  C: tp 4, fn 2, fp 3, tn 8.
  EXPECT_NEAR(m.mcc(kHelix), 43.0 / std::sqrt(6.0 * 7.0 * 10.0 * 11.0), 1e-12);
  EXPECT_NEAR(m.mcc(kStrand), 35.0 / 52.0, 1e-12);
  EXPECT_NEAR(m.mcc(kCoil), 26.0 / std::sqrt(7.0 * 6.0 * 11.0 * 10.0), 1e-12);
}

TEST(Confusion, UndefinedScoresAreNotNumbers) {
  StageTally t;
  t.addChain("HHHCCC", "HHHHHH");  // nothing predicted as coil, no strand at all
  const Confusion& m = t.confusion;
  EXPECT_TRUE(std::isnan(m.accuracyPredicted(kCoil)));
  EXPECT_EQ(m.accuracyObserved(kCoil), 0.0);
  EXPECT_TRUE(std::isnan(m.mcc(kCoil)));
  EXPECT_TRUE(std::isnan(m.mcc(kStrand)));
  EXPECT_TRUE(std::isnan(m.accuracyObserved(kStrand)));
  EXPECT_TRUE(std::isnan(Confusion().q3()));
  // Perfect prediction of two classes: correlation 1.
  StageTally u;
  u.addChain("HHHCCC", "HHHCCC");
  EXPECT_DOUBLE_EQ(u.confusion.mcc(kHelix), 1.0);
}

// The trainer's tie rules decide the class: H wins every tie it is in, E a tie with C.
TEST(Decision, TiesFollowTheTrainersRule) {
  const double cases[][4] = {{0.1, 0.3, 0.3, kHelix}, {0.3, 0.3, 0.1, kStrand}, {0.1, 0.3, 0.2, kCoil},
                             {0.2, 0.2, 0.2, kHelix}, {0.4, 0.3, 0.4, kHelix},  {-0.5, -0.9, -0.7, kStrand}};
  for (const auto& c : cases) EXPECT_EQ(decide(c), static_cast<int>(c[3])) << c[0] << " " << c[1] << " " << c[2];
}

}  // namespace
}  // namespace kelvor::predict
