// Layouts of the vertical and horizontal files, the confidence digits and the report.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/predict/writers.h"

namespace kelvor::predict {
namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// A chain of n residues whose outputs cycle through three patterns: a clear coil, a clear
// strand and a three-way tie.
struct Fixture {
  Chain chain;
  std::vector<double> filter;
  ChainPrediction p;

  explicit Fixture(int n) {
    chain.name = "demo";
    chain.length = n;
    const double pattern[3][3] = {{-1.0, 1.0, 0.0}, {0.75, -0.75, -1.0}, {0.2, 0.2, 0.2}};
    const int cls[3] = {1, 0, 2};
    for (int i = 0; i < n; ++i) {
      chain.residues += "ACDEFGHIKLMNPQRSTVWY"[i % 20];
      filter.insert(filter.end(), pattern[i % 3], pattern[i % 3] + 3);
      p.classes.push_back(cls[i % 3]);
    }
    p.chain = &chain;
    p.filter = filter.data();
  }
};

TEST(Vertical, OneLinePerResidueWithOutputsMappedToUnitRange) {
  Fixture f(4);
  const std::vector<std::string> l = lines(verticalText(f.p));
  ASSERT_EQ(l.size(), 4u + 4u);
  EXPECT_EQ(l[0].rfind("# kelvor-predict " + toolVersion(), 0), 0u) << l[0];
  for (int i = 0; i < 3; ++i) EXPECT_EQ(l[i][0], '#');
  EXPECT_EQ(l[3], "");
  // Columns C, H, E, each (o + 1) / 2.
  EXPECT_EQ(l[4], "   1 A C   1.000  0.500  0.000");
  EXPECT_EQ(l[5], "   2 C E   0.125  0.000  0.875");
  EXPECT_EQ(l[6], "   3 D H   0.600  0.600  0.600");
  EXPECT_EQ(l[7], "   4 E C   1.000  0.500  0.000");
}

TEST(Horizontal, BlocksOfSixtyWithConfidenceAndRuler) {
  Fixture f(125);
  const std::vector<std::string> l = lines(horizontalText(f.p));
  std::vector<std::string> conf, pred, aa, ruler;
  for (std::size_t i = 0; i < l.size(); ++i) {
    if (l[i].rfind("Conf: ", 0) == 0) {
      conf.push_back(l[i].substr(6));
      pred.push_back(l[i + 1].substr(6));
      aa.push_back(l[i + 2].substr(6));
      ruler.push_back(l[i + 3]);
      EXPECT_EQ(l[i + 1].substr(0, 6), "Pred: ");
      EXPECT_EQ(l[i + 2].substr(0, 6), "  AA: ");
    }
  }
  ASSERT_EQ(conf.size(), 3u);
  EXPECT_EQ(conf[0].size(), 60u);
  EXPECT_EQ(conf[2].size(), 5u);
  EXPECT_EQ(pred[0].substr(0, 6), "CEHCEH");
  EXPECT_EQ(aa[1].substr(0, 3), "ACD");  // residue 61 starts the second block
  EXPECT_EQ(aa[0] + aa[1] + aa[2], f.chain.residues);
  // Clear coil: p 1.0 against 0.5 gives 5; strand 0.875 against 0.125 gives 7; a tie gives 0.
  EXPECT_EQ(conf[0].substr(0, 6), "570570");
  // Ruler numbers end under their residue.
  EXPECT_EQ(ruler[0], "              10        20        30        40        50        60");
  EXPECT_EQ(ruler[1].substr(0, 16), "              70");
  EXPECT_EQ(ruler[1].size(), 66u);
  EXPECT_EQ(ruler[1].substr(60), "   120");
}

TEST(Confidence, DigitFromTheGapBetweenTheTwoLargestOutputs) {
  const double capped[3] = {1.0, -1.0, -1.0};
  EXPECT_EQ(confidenceDigit(capped, 0), 9);
  const double near[3] = {0.10, 0.08, -0.5};  // gap 0.01 in 0..1: digit 0
  EXPECT_EQ(confidenceDigit(near, 0), 0);
  const double mid[3] = {-0.5, 0.25, -0.75};  // C: 0.625 against 0.25
  EXPECT_EQ(confidenceDigit(mid, 1), 3);
}

TEST(Report, TextAndJsonHoldTheScoresOfBothStages) {
  ScoreReport r;
  r.weightDirs = {"run1", "run \"2\""};
  r.chains = 2;
  r.unlabelled = 1;
  const auto a = r.stage[0].addChain("CHHHHHHHHHHC", "CHCHCHCHCHCC");
  const auto b = r.stage[1].addChain("CHHHHHHHHHHC", "CCCHHHHHHHHC");
  r.scored.push_back({"demo", 12, {a.first, b.first}, {a.second, b.second}});

  const std::string text = reportText(r);
  EXPECT_NE(text.find("Q3, all residues             0.5833   (7 of 12)"), std::string::npos) << text;
  EXPECT_NE(text.find("SOV'99, all chains           0.9444"), std::string::npos) << text;
  EXPECT_NE(text.find("chains scored: 1 of 2"), std::string::npos);
  EXPECT_NE(text.find("n/a"), std::string::npos);  // no strand anywhere

  const std::string json = reportJson(r);
  EXPECT_NE(json.find("\"run \\\"2\\\"\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"first_stage\": {\"residues\": 12, \"correct\": 7, \"q3\": 0.5833333333333334"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"confusion\": [[0, 0, 0], [0, 2, 0], [0, 5, 5]]"), std::string::npos) << json;
  EXPECT_NE(json.find("\"E\": {\"observed\": 0, \"predicted\": 0, \"correct\": 0, \"accuracy_observed\": null"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"chains_unlabelled\": 1"), std::string::npos);
}

}  // namespace
}  // namespace kelvor::predict
