// Saving and loading the weights of both networks.
#include <gtest/gtest.h>

#include <cstdlib>

#include "network/netinit.h"
#include "ground/errors.h"
#include "ground/freeform_writer.h"
#include "tests/support/test_support.h"
#include "weightio/weight_files.h"

namespace kelvor {
namespace {

using test::readLines;

class WeightFiles : public testing::Test {
 protected:
  void SetUp() override {
    int seed = 4242;
    drawWeights(net, seed);
    // Values that need all 15 digits and both notations.
    net.wei1[w1(1, 1, 1)] = 0.123456789012345678;
    net.wei1[w1(1, 1, 2)] = -0.0421;
    net.wei2[w2(102, 101)] = 12.5;
  }
  test::ScratchDir dir;
  Network net;
};

double valueOf(const std::string& line, int at = 0) {
  return std::strtod(line.substr(1 + 24 * at, 24).c_str(), nullptr);
}

TEST_F(WeightFiles, FirstStageLinesFollowTheIndexLoops) {
  test::InDirectory in(dir.path());
  outwei(net, 0);
  auto l77 = readLines("fort.77"), l78 = readLines("fort.78"), l79 = readLines("fort.79");
  ASSERT_EQ(l77.size(), 66660u);
  ASSERT_EQ(l78.size(), 10302u);
  ASSERT_EQ(l79.size(), 102u);
  EXPECT_EQ(l77[0], " " + formatReal(net.wei1[w1(1, 1, 1)]));
  EXPECT_EQ(l77[0], "   0.123456789012346     ");
  EXPECT_EQ(l77[1], "  -0.421000000000000E-001");
  EXPECT_EQ(l77[101], " " + formatReal(net.wei1[w1(1, 2, 1)]));
  EXPECT_EQ(l77[3030], " " + formatReal(net.wei1[w1(2, 1, 1)]));
  EXPECT_EQ(l77[66659], " " + formatReal(net.wei1[w1(22, 30, 101)]));
  EXPECT_EQ(l78[101], " " + formatReal(net.wei2[w2(2, 1)]));
  EXPECT_EQ(l79[4],
            " " + formatReal(net.pwei[pw(5, 1)]) + formatReal(net.pwei[pw(5, 2)]) + formatReal(net.pwei[pw(5, 3)]));
  EXPECT_FALSE(std::filesystem::exists("fort.77.part"));
}

TEST_F(WeightFiles, FilterLinesFollowTheIndexLoops) {
  test::InDirectory in(dir.path());
  outweif(net, 0);
  auto l87 = readLines("fort.87"), l88 = readLines("fort.88");
  ASSERT_EQ(l87.size(), 1386u);
  ASSERT_EQ(l88.size(), 66u);
  EXPECT_EQ(valueOf(l87[21]), std::strtod(formatReal(net.fwei1[fw1(1, 2, 1)]).c_str(), nullptr));
  EXPECT_EQ(l87[21], " " + formatReal(net.fwei1[fw1(1, 2, 1)]));
  EXPECT_EQ(l87[63], " " + formatReal(net.fwei1[fw1(2, 1, 1)]));
  EXPECT_EQ(l88[3], " " + formatReal(net.fwei2[fw2(2, 1)]));
}

TEST_F(WeightFiles, LoadingGivesTheSavedValuesAtFifteenDigitsAndLeavesTheRest) {
  test::InDirectory in(dir.path());
  outwei(net, 0);
  outweif(net, 0);
  Network loaded;
  int seed = 1;
  drawWeights(loaded, seed);
  const Network before = loaded;
  readwei(loaded, 0);
  readweif(loaded, 0);
  auto rounded = [](double v) { return std::strtod(formatReal(v).c_str(), nullptr); };
  for (std::size_t i = 0; i < net.wei1.size(); ++i) ASSERT_EQ(loaded.wei1[i], rounded(net.wei1[i])) << i;
  for (std::size_t i = 0; i < net.wei2.size(); ++i) ASSERT_EQ(loaded.wei2[i], rounded(net.wei2[i])) << i;
  for (int m = 1; m <= 102; ++m)
    for (int c = 1; c <= 3; ++c) {
      ASSERT_EQ(loaded.pwei[pw(m, c)], rounded(net.pwei[pw(m, c)]));
      ASSERT_EQ(loaded.pwei[pw(m, c + 3)], before.pwei[pw(m, c + 3)]);
    }
  for (std::size_t i = 0; i < net.fwei1.size(); ++i) ASSERT_EQ(loaded.fwei1[i], rounded(net.fwei1[i]));
  EXPECT_EQ(loaded.owei1, before.owei1);
  EXPECT_EQ(loaded.owei2, before.owei2);
  EXPECT_EQ(loaded.ofwei1, before.ofwei1);

  // Loading the filter alone leaves the first stage as it was.
  Network filterOnly = before;
  readweif(filterOnly, 0);
  EXPECT_EQ(filterOnly.wei1, before.wei1);
  EXPECT_EQ(filterOnly.pwei, before.pwei);
}

TEST_F(WeightFiles, TheReaderSkipsBlankLinesAndIgnoresTheRestOfALine) {
  test::InDirectory in(dir.path());
  outweif(net, 0);
  std::string text = "\n";
  for (const auto& line : readLines("fort.88")) text += line + "  trailing words\n\n";
  test::writeFile("fort.88", text);
  Network loaded;
  readweif(loaded, 0);
  EXPECT_EQ(loaded.fwei2[fw2(2, 1)], std::strtod(formatReal(net.fwei2[fw2(2, 1)]).c_str(), nullptr));
}

TEST_F(WeightFiles, MissingShortAndMalformedFilesAreErrorsThatNameTheFile) {
  test::InDirectory in(dir.path());
  Network loaded;
  try {
    readwei(loaded, 0);
    FAIL();
  } catch (const FileError& e) {
    EXPECT_EQ(e.file(), "fort.77");
    EXPECT_NE(std::string(e.what()).find("missing"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists("fort.77"));  // reading never creates a file
  outwei(net, 0);
  auto lines = readLines("fort.78");
  lines.resize(500);
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  test::writeFile("fort.78", text);
  try {
    readwei(loaded, 0);
    FAIL();
  } catch (const FileError& e) {
    EXPECT_EQ(e.file(), "fort.78");
    EXPECT_NE(std::string(e.what()).find("end of file"), std::string::npos) << e.what();
  }
  outwei(net, 0);
  lines = readLines("fort.79");
  lines[6] = " 0.5 x 0.3";
  text.clear();
  for (const auto& l : lines) text += l + "\n";
  test::writeFile("fort.79", text);
  try {
    readwei(loaded, 0);
    FAIL();
  } catch (const FileError& e) {
    EXPECT_EQ(e.line(), 7);
    EXPECT_NE(std::string(e.what()).find("\"x\""), std::string::npos) << e.what();
  }
}

TEST_F(WeightFiles, ASlashKeepsTheValuesNotYetReadAndANonFiniteValueIsRefused) {
  test::InDirectory in(dir.path());
  outwei(net, 0);
  auto lines = readLines("fort.79");
  lines[4] = " 0.5 /";  // pwei(5, 2) and pwei(5, 3) keep what they held
  lines[9] = " /";      // all three of pwei(10, *)
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  test::writeFile("fort.79", text);
  Network loaded;
  loaded.pwei.fill(-3.25);
  readwei(loaded, 0);
  EXPECT_EQ(loaded.pwei[pw(5, 1)], 0.5);
  EXPECT_EQ(loaded.pwei[pw(5, 2)], -3.25);
  EXPECT_EQ(loaded.pwei[pw(5, 3)], -3.25);
  for (int c = 1; c <= 3; ++c) EXPECT_EQ(loaded.pwei[pw(10, c)], -3.25);
  EXPECT_EQ(loaded.pwei[pw(11, 1)], std::strtod(formatReal(net.pwei[pw(11, 1)]).c_str(), nullptr));

  for (const char* bad : {"NaN", "-Inf", "1e400"}) {
    outweif(net, 0);
    lines = readLines("fort.88");
    lines[2] = std::string(" ") + bad;
    text.clear();
    for (const auto& l : lines) text += l + "\n";
    test::writeFile("fort.88", text);
    try {
      readweif(loaded, 0);
      ADD_FAILURE() << bad;
    } catch (const FileError& e) {
      EXPECT_EQ(e.file(), "fort.88");
      EXPECT_EQ(e.line(), 3);
      EXPECT_NE(e.reason().find("not a finite number"), std::string::npos) << e.what();
    }
  }
}

TEST_F(WeightFiles, TheFileSetOffsetShiftsTheNumbers) {
  test::InDirectory in(dir.path());
  EXPECT_EQ(weightFileName(77, 0), "fort.77");
  outwei(net, 100);
  outweif(net, 100);
  for (const char* f : {"fort.177", "fort.178", "fort.179", "fort.187", "fort.188"})
    EXPECT_TRUE(std::filesystem::exists(f)) << f;
  EXPECT_FALSE(std::filesystem::exists("fort.77"));
}

}  // namespace
}  // namespace kelvor
