// The defaults file, the part sizes and the order of the proteins for a fold.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "config/defaults.h"
#include "config/protein_list.h"
#include "config/validate.h"
#include "config/clock.h"
#include "ground/errors.h"
#include "tests/support/test_support.h"

namespace kelvor {
namespace {

using test::ScratchDir;
using test::writeFile;

TEST(PartSizes, HalvesRoundAwayFromZero) {
  auto check = [](int n, double f, int ntrain, int ntrval) {
    PartSizes p = partSizes(n, f);
    EXPECT_EQ(p.ntrain, ntrain) << n << " " << f;
    EXPECT_EQ(p.ntrval, ntrval) << n << " " << f;
    EXPECT_EQ(p.nprot, n);
  };
  check(100, 0.1, 85, 90);  // v = round(4.5) = 5
  check(10, 0.25, 7, 7);    // t = round(2.5) = 3, v = round(0.35) = 0
  check(19, 0.5, 9, 9);     // t = round(9.5) = 10, n - t = 9: v = round(0.45) = 0
  check(20, 0.5, 9, 10);    // n - t = 10: v = round(0.5) = 1
  check(40, 0.0, 38, 40);   // no test part, v = 2
  check(0, 0.1, 0, 0);
}

std::vector<int> order(int n, double f, int k) {
  PartSizes p = partSizes(n, f);
  std::vector<int> o(n, 0);
  plst(n, p.ntrval, p.test, k, f, o);
  return o;
}

TEST(Plst, EveryFoldOfAHundredIsAPermutationWithItsBlockAtTheBack) {
  for (int k = 1; k <= 10; ++k) {
    std::vector<int> o = order(100, 0.1, k);
    std::vector<int> sorted = o;
    std::sort(sorted.begin(), sorted.end());
    std::vector<int> ids(100);
    std::iota(ids.begin(), ids.end(), 1);
    EXPECT_EQ(sorted, ids) << "fold " << k;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(o[90 + i], (k - 1) * 10 + 1 + i) << "fold " << k;
  }
  std::vector<int> f4 = order(100, 0.1, 4);
  EXPECT_EQ(f4[0], 1);
  EXPECT_EQ(f4[29], 30);
  EXPECT_EQ(f4[30], 41);
  EXPECT_EQ(f4[85], 96);  // validation: the last five lines outside the block
  EXPECT_EQ(f4[89], 100);
  std::vector<int> f10 = order(100, 0.1, 10);
  EXPECT_EQ(f10[85], 86);
}

TEST(Plst, NeighbouringBlocksShareALineWhenTheFractionDoesNotDivide) {
  auto block = [](int k) {
    std::vector<int> o = order(95, 0.1, k);
    return std::make_pair(o[85], o[94]);
  };
  EXPECT_EQ(block(1), std::make_pair(1, 10));
  EXPECT_EQ(block(2), std::make_pair(10, 19));
  EXPECT_EQ(block(3), std::make_pair(20, 29));
  EXPECT_EQ(block(4), std::make_pair(29, 38));
}

TEST(Plst, FoldZeroAndNoTestPartGiveTheIdentity) {
  std::vector<int> ids(100);
  std::iota(ids.begin(), ids.end(), 1);
  EXPECT_EQ(order(100, 0.1, 0), ids);
  EXPECT_EQ(order(100, 0.0, 3), ids);
  std::vector<int> none;
  plst(0, 0, 0, 1, 0.1, none);
  EXPECT_TRUE(none.empty());
}

TEST(Plst, SizesThatDoNotAddUpStop) {
  std::vector<int> o(10);
  testing::internal::CaptureStdout();
  EXPECT_THROW(plst(10, 5, 4, 1, 0.4, o), DataStop);
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " Problem generating protein list\n");
}

TEST(FoldCheck, AStraddlingBlockIsRefusedWithTheUsableRange) {
  EXPECT_TRUE(foldUsable(10, 0.1, 100, 10));
  EXPECT_TRUE(foldUsable(0, 0.1, 100, 10));
  EXPECT_TRUE(foldUsable(-3, 0.1, 100, 10));
  EXPECT_TRUE(foldUsable(11, 0.1, 95, 10));    // hi = round(104.5) = 105: the block lies past the end
  EXPECT_TRUE(foldUsable(1, 0.1, 95, 10));     // hi = round(9.5) = 10 = t
  EXPECT_FALSE(foldUsable(7, 0.15, 100, 15));  // hi = 105: lines 91..105 straddle the end
  EXPECT_TRUE(foldUsable(8, 0.15, 100, 15));   // hi = 120: no line in the block
  try {
    checkFold(7, 0.15, 100, 15, "kelvor.in");
    FAIL();
  } catch (const ConfigError& e) {
    const std::string m = e.what();
    EXPECT_NE(m.find("fold number"), std::string::npos) << m;
    EXPECT_NE(m.find("is 7"), std::string::npos) << m;
    EXPECT_NE(m.find("100 proteins"), std::string::npos) << m;
    EXPECT_NE(m.find("allowed: 1 to 6"), std::string::npos) << m;
  }
}

TEST(Settings, CommentsBlankLinesAndTheWordOnALaterLine) {
  ScratchDir dir;
  writeFile(
      dir.file("a.in"),
      "30 epochs\n213  proteins\n0\n\n0.001 rate\n0.5\n   \n0.5 gain\n1.0\n1 fold\n0.1\n'dir/proteins.list'\nreal\n");
  writeFile(dir.file("b.in"), "30\n213\n0\n0.001\n0.5\n0.5\n1.0\n1\n0.1\n'dir/proteins.list' real\n");
  Settings a = readSettings(dir.file("a.in")), b = readSettings(dir.file("b.in"));
  for (const Settings* s : {&a, &b}) {
    EXPECT_EQ(s->epochLimit, 30);
    EXPECT_EQ(s->requested, 213);
    EXPECT_EQ(s->rate, 0.001);
    EXPECT_EQ(s->momentum, 0.5);
    EXPECT_EQ(s->gain, 0.5);
    EXPECT_EQ(s->dcay, 1.0);
    EXPECT_EQ(s->fold, 1);
    EXPECT_EQ(s->testFraction, 0.1);
    EXPECT_EQ(s->listName.substr(0, 18), "dir/proteins.list ");
    EXPECT_EQ(s->listName.size(), 120u);
    EXPECT_EQ(s->word, "real  ");
  }
}

TEST(Settings, MissingShortAndMistypedFilesNameTheFile) {
  ScratchDir dir;
  EXPECT_THROW(readSettings(dir.file("none.in")), FileError);
  EXPECT_FALSE(std::filesystem::exists(dir.file("none.in")));
  writeFile(dir.file("short.in"), "30\n213\n0\n0.001\n0.5\n0.5\n1.0\n1\n0.1\n'list'\n");
  try {
    readSettings(dir.file("short.in"));
    FAIL();
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("short.in"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("end of file"), std::string::npos);
  }
  writeFile(dir.file("typed.in"), "30\nmany\n");
  try {
    readSettings(dir.file("typed.in"));
    FAIL();
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("\"many\""), std::string::npos) << e.what();
  }
}

class GetdefsTest : public testing::Test {
 protected:
  void SetUp() override { setTimeOfDay({0, 0, 0}); }
  void TearDown() override { resetTimeOfDay(); }
  ScratchDir dir;
};

TEST_F(GetdefsTest, FillsTheStoreInFoldOrderAndWarnsOnAShortList) {
  std::string list;
  for (int i = 1; i <= 30; ++i) list.append("p").append(std::to_string(i)).append("\n");
  writeFile(dir.file("proteins.list"), list);
  test::writeDefaults(dir.path(), 5, 40, 2, 0.1);
  test::InDirectory in(dir.path());
  DataStore store;
  Network net;
  testing::internal::CaptureStdout();
  RunConfig cfg = getdefs(store, net);
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            " Protein set too small for number of proteins selected, using full set.\n");
  EXPECT_EQ(cfg.reportName, "kelvor.valdav");
  EXPECT_EQ(cfg.requested, 40);
  EXPECT_EQ(cfg.epochLimit, 5);
  EXPECT_EQ(store.nprot, 30);
  EXPECT_EQ(store.ntrval, 27);
  EXPECT_EQ(store.ntrain, 26);  // v = round(1.35) = 1
  EXPECT_EQ(net.rate, 0.001);
  EXPECT_EQ(net.gain, 0.5);
  EXPECT_EQ(store.testFraction(), 0.1);
  // fold 2: hi = round(0.2 * 30) = 6, block lines 4..6 at the back.
  EXPECT_EQ(store.pname[27].substr(0, 3), "p4 ");
  EXPECT_EQ(store.pname[29].substr(0, 3), "p6 ");
  EXPECT_EQ(store.pname[3].substr(0, 3), "p7 ");
  EXPECT_EQ(store.pname[0].size(), 120u);
}

TEST_F(GetdefsTest, RefusesOutOfRangeSettingsBeforeAnythingIsOrdered) {
  writeFile(dir.file("proteins.list"), "a\nb\nc\n");
  test::InDirectory in(dir.path());
  DataStore store;
  Network net;
  test::writeDefaults(dir.path(), 1, 3, 1, 1.5);
  EXPECT_THROW(getdefs(store, net), ConfigError);
  test::writeDefaults(dir.path(), 1, -1, 1, 0.1);
  EXPECT_THROW(getdefs(store, net), ConfigError);
  test::writeDefaults(dir.path(), 1, 3, 1, 0.1);
  EXPECT_THROW(getdefs(store, net, "kelvor.in", -100), ConfigError);
  EXPECT_NO_THROW(getdefs(store, net, "kelvor.in", 7));
}

}  // namespace
}  // namespace kelvor
