// Data sets beyond the sizes of the shipped example: the synthetic set generator and whole runs
// over more proteins than earlier versions accepted (the store's 32-bit residue limit is tested
// in tests/dataset/test_store_limits.cpp).
#include <gtest/gtest.h>

#include <map>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "dataset/residue_bound.h"
#include "dataset/setio.h"
#include "ground/errors.h"
#include "tests/support/test_support.h"
#include "tools/synth/synth_set.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;

DataStore storeOf(const fs::path& dir) {
  DataStore s;
  for (const std::string& n : test::readLines((dir / "proteins.list").string()))
    s.pname.push_back(n + std::string(kNameLength - n.size(), ' '));
  s.nprot = s.ntrval = static_cast<int>(s.pname.size());
  s.ntrain = s.nprot - 1;
  return s;
}

TEST(SyntheticSet, ChainLengthsAddUpToTheResiduesAskedFor) {
  struct Ask {
    long chains, residues;
  };
  for (Ask a : {Ask{40, 8000}, Ask{3000, 610000}, Ask{2700, 8100}, Ask{7, 7}, Ask{0, 5000}}) {
    synth::SetOptions o;
    o.chains = a.chains;
    o.residues = a.residues;
    const std::vector<int> lengths = synth::chainLengths(o);
    long sum = 0;
    for (int n : lengths) {
      EXPECT_GE(n, 1);
      sum += n;
    }
    EXPECT_EQ(sum, a.residues) << a.chains;
    EXPECT_EQ(static_cast<long>(lengths.size()), a.chains > 0 ? a.chains : a.residues / 200);
  }
  synth::SetOptions drawn;
  drawn.chains = 500;
  const std::vector<int> lengths = synth::chainLengths(drawn);
  EXPECT_GE(*std::min_element(lengths.begin(), lengths.end()), 25);
  EXPECT_LE(*std::max_element(lengths.begin(), lengths.end()), 900);
  EXPECT_GT(*std::max_element(lengths.begin(), lengths.end()), 400);  // a few hundred, not all alike
  synth::SetOptions tooFew;
  tooFew.chains = 10;
  tooFew.residues = 9;
  EXPECT_THROW(synth::chainLengths(tooFew), ConfigError);
}

TEST(SyntheticSet, IsRepeatableAndReadsWithoutAWordFromSetio) {
  ScratchDir a, b, c;
  synth::SetOptions o;
  o.chains = 30;
  o.residues = 6000;
  o.seed = 9;
  o.dir = a.path().string();
  const synth::SetSummary s = synth::writeSet(o);
  EXPECT_EQ(s.residues, 6000);
  o.dir = b.path().string();
  synth::writeSet(o);
  o.dir = c.path().string();
  o.seed = 10;
  synth::writeSet(o);
  for (const char* f : {"proteins.list", "dssp_data/syn0007", "new_prf/syn0007.mat", "kvqout/syn0007.kvqout"}) {
    EXPECT_EQ(test::readFile(a.file(f)), test::readFile(b.file(f))) << f;
    if (std::string(f) != "proteins.list") {
      EXPECT_NE(test::readFile(a.file(f)), test::readFile(c.file(f))) << f;
    }
  }

  DataStore store = storeOf(a.path());
  EXPECT_EQ(residueBound(store, a.path().string() + "/"), 6000);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  setio(store, a.path().string() + "/");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(store.nta, 6000);
  EXPECT_EQ(store.filin.capacity(), store.filin.size());  // set aside once, never grown
  // Every class present in a realistic share, and features within the scaled ranges (a psi of
  // 360, as a chain's last residue has, encodes to 1.72).
  std::map<double, int> classes;
  for (int r = 1; r <= store.nta; ++r) {
    ++classes[store.fin(r, 36)];
    for (int f = 1; f <= kFeatures; ++f) ASSERT_LE(std::abs(store.fin(r, f)), 1.75) << r << " " << f;
  }
  ASSERT_EQ(classes.size(), 3u);
  for (auto [code, n] : classes) EXPECT_GT(n, 6000 / 8) << code;
}

TEST(ScaleRun, AListOfMoreThan2640SmallProteinsTrainsBothStages) {
  ScratchDir dir;
  synth::SetOptions o;
  o.dir = dir.path().string();
  o.chains = 2700;
  o.residues = 2700 * 6;
  o.epochs = 1;
  synth::writeSet(o);
  const test::RunResult r = test::runKelvor(dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> out = test::readLines(dir.file("kelvor.valdav"));
  int q10p = 0;
  for (std::size_t p = 0; (p = r.out.find(" Q10P: ", p)) != std::string::npos; ++p) ++q10p;
  EXPECT_EQ(q10p, 2) << r.out;
  EXPECT_FALSE(out.empty());
}

}  // namespace
}  // namespace kelvor
