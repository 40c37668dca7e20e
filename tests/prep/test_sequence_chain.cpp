// Chains of unknown structure: made from a PSSM (and an angle table) with "-" for the DSSP file.
#include <filesystem>

#include <gtest/gtest.h>

#include "tests/prep/prep_support.h"
#include "tools/prep/chain_list.h"
#include "tools/prep/convert.h"

namespace fs = std::filesystem;

namespace kelvor::prep {
namespace {

using namespace test;

ChainEntry sequenceOnly(const std::string& name, const std::string& pssm, const std::string& angles = "") {
  ChainEntry s;
  s.name = name;
  s.chain = "-";
  s.pssm = pssm;
  s.angles = angles;
  return s;
}

std::string allProblems(const BuildResult& r) {
  std::string s;
  for (const auto& p : r.problems) s += p.str() + "\n";
  return s;
}

TEST(SequenceChain, ListLineWithoutDsspFile) {
  std::vector<Problem> problems;
  const std::vector<ChainEntry> e =
      parseChainList("/x/chains.txt", "new - - new.pssm\nbad - A bad.pssm\nold a.dssp A old.pssm\n", problems);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_FALSE(e[0].hasStructure());
  EXPECT_EQ(e[0].pssm, "/x/new.pssm");
  EXPECT_TRUE(e[1].hasStructure());
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].str(),
            "file \"/x/chains.txt\", line 2: chain \"A\" of no DSSP file: a chain of unknown structure "
            "gives - for both DSSP-FILE and CHAIN");
}

TEST(SequenceChain, ProfileAsWithStructureAndNoOtherFileWithoutATable) {
  DsspCache cache;
  ChainEntry withDssp = sequenceOnly("1tii_C", data("1tii_C.pssm"));
  withDssp.dssp = data("1tii.dssp");
  withDssp.chain = "C";
  const BuildResult observed = buildChain(withDssp, Reduction::kHGI, "/out/", cache);
  const BuildResult alone = buildChain(sequenceOnly("1tii_C", data("1tii_C.pssm")), Reduction::kHGI, "/out/", cache);
  ASSERT_TRUE(observed.files) << allProblems(observed);
  ASSERT_TRUE(alone.files) << allProblems(alone);
  EXPECT_TRUE(alone.problems.empty()) << allProblems(alone);
  EXPECT_EQ(alone.files->residues, 36);
  EXPECT_EQ(alone.files->profile, observed.files->profile);
  EXPECT_FALSE(alone.files->hasDssp);
  EXPECT_FALSE(alone.files->hasPrediction);
}

TEST(SequenceChain, AngleTableGivesAPredictionFileOfUnknownClass) {
  DsspCache cache;
  const BuildResult r =
      buildChain(sequenceOnly("c", data("1tii_C.pssm"), data("1tii_C.angles")), Reduction::kHGI, "/out/", cache);
  ASSERT_TRUE(r.files) << allProblems(r);
  EXPECT_TRUE(r.files->hasPrediction);
  const std::vector<std::string> table = readLines(data("1tii_C.angles"));
  std::vector<std::string> made;
  std::size_t start = 0;
  const std::string& text = r.files->prediction;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    made.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  ASSERT_EQ(made.size(), table.size());
  for (std::size_t i = 1; i < made.size(); ++i) {
    const std::vector<std::string> m = fields(made[i]), t = fields(table[i]);
    ASSERT_EQ(m.size(), 11u) << made[i];
    EXPECT_EQ(m[0], std::to_string(i));
    EXPECT_EQ(m[1], t[0]);
    EXPECT_EQ(m[2], "-");
    EXPECT_EQ(m[3], t[1]);
    EXPECT_EQ(m[4], t[2]);
    EXPECT_EQ(m[10], t[3]);
    for (int k = 5; k < 10; ++k) EXPECT_EQ(m[k], "0");
  }
}

TEST(SequenceChain, TableThatDisagreesWithThePssmIsRefused) {
  ScratchDir dir;
  std::string text = readFile(data("1tii_C.angles"));
  text.replace(text.find("\nC "), 3, "\nK ");
  writeFile(dir.file("letter.angles"), text);
  writeFile(dir.file("short.angles"), text.substr(0, text.rfind('\n', text.size() - 2) + 1));
  DsspCache cache;
  BuildResult r =
      buildChain(sequenceOnly("c", data("1tii_C.pssm"), dir.file("letter.angles")), Reduction::kHGI, "/out/", cache);
  EXPECT_FALSE(r.files);
  EXPECT_TRUE(contains(allProblems(r), "letter.angles\", line 4: chain c, position 3: angle table 'K', PSSM 'C'"))
      << allProblems(r);
  r = buildChain(sequenceOnly("c", data("1tii_C.pssm"), dir.file("short.angles")), Reduction::kHGI, "/out/", cache);
  EXPECT_FALSE(r.files);
  EXPECT_TRUE(contains(allProblems(r), "chain c: 35 angle-table lines, but the PSSM has 36 rows")) << allProblems(r);
  r = buildChain(sequenceOnly("c", ""), Reduction::kHGI, "/out/", cache);
  EXPECT_FALSE(r.files);
  EXPECT_TRUE(contains(allProblems(r), "chain c: no PSSM file given")) << allProblems(r);
}

// A chain of a name that had a structure before must not be read with its old labels or values.
TEST(SequenceChainRun, ReplacingAChainRemovesItsOldStructureAndValues) {
  ScratchDir dir;
  writeFile(dir.file("before.txt"), "1tii_C " + data("1tii.dssp") + " C " + data("1tii_C.pssm") + "\n");
  writeFile(dir.file("after.txt"), "1tii_C - - " + data("1tii_C.pssm") + "\n");
  ASSERT_EQ(runPrep(dir.path(), {"-d", "root", "before.txt"}).status, 0);
  ASSERT_TRUE(fs::exists(dir.file("root/dssp_data/1tii_C")));
  const ToolRun r = runPrep(dir.path(), {"-d", "root", "after.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "wrote 1 chain, 36 residues")) << r.out;
  EXPECT_TRUE(contains(r.out, "1 chain of unknown structure without an angle table")) << r.out;
  EXPECT_TRUE(contains(r.err, "removed root/dssp_data/1tii_C, left by an earlier chain 1tii_C")) << r.err;
  EXPECT_TRUE(contains(r.err, "removed root/kvqout/1tii_C.kvqout")) << r.err;
  EXPECT_FALSE(fs::exists(dir.file("root/dssp_data/1tii_C")));
  EXPECT_FALSE(fs::exists(dir.file("root/kvqout/1tii_C.kvqout")));
  EXPECT_TRUE(fs::exists(dir.file("root/new_prf/1tii_C.mat")));

  // A chain without a DSSP file has no sequence to write for its matrix to be made from.
  const ToolRun fasta = runPrep(dir.path(), {"--fasta", "fasta", "after.txt"});
  EXPECT_EQ(fasta.status, 3);
  EXPECT_TRUE(contains(fasta.err, "after.txt\", line 1: chain 1tii_C has no DSSP file to take a sequence from"))
      << fasta.err;
  EXPECT_FALSE(fs::exists(dir.file("fasta")));
}

}  // namespace
}  // namespace kelvor::prep
