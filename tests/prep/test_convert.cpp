// Converting real chains: the files made, the agreement check, the reductions, the angle table,
// and whole runs of kelvor-prep whose output kelvor's own setio and kelvor itself read.
#include <filesystem>

#include <gtest/gtest.h>

#include "config/defaults.h"
#include "dataset/encoding.h"
#include "dataset/setio.h"
#include "ground/errors.h"
#include "tests/prep/prep_support.h"
#include "tools/prep/convert.h"
#include "tools/prep/pssm_reader.h"

namespace fs = std::filesystem;

namespace kelvor::prep {
namespace {

using namespace test;

ChainEntry entry(const std::string& name, const std::string& chain, const std::string& pssm,
                 const std::string& angles = "") {
  ChainEntry s;
  s.name = name;
  s.dssp = data("1tii.dssp");
  s.chain = chain;
  s.pssm = pssm;
  s.angles = angles;
  return s;
}

std::string allProblems(const BuildResult& r) {
  std::string s;
  for (const auto& p : r.problems) s += p.str() + "\n";
  return s;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> v;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    v.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return v;
}

ChainFiles build(const ChainEntry& s, Reduction red = Reduction::kHGI) {
  DsspCache cache;
  BuildResult r = buildChain(s, red, "/out/", cache);
  EXPECT_TRUE(r.files) << allProblems(r);
  EXPECT_TRUE(r.problems.empty()) << allProblems(r);
  return r.files ? *r.files : ChainFiles{};
}

TEST(Convert, ShippedExampleChainComesOutInTheShippedLayout) {
  const ChainFiles f = build(entry("1tii_D", "D", data("1tii_D.pssm")));
  EXPECT_EQ(f.residues, 98);
  EXPECT_EQ(f.dssp, readFile(examples("dssp_data/1tii_D")));
  // The profile file is psiblast's matrix as it stands: the letters agree everywhere.
  EXPECT_EQ(f.profile, readFile(data("1tii_D.pssm")));
  // The prediction file: every field but the surface area as in the shipped set (whose model of
  // 1TII was cleaned otherwise, which changes a few accessibilities).
  const std::vector<std::string> made = lines(f.prediction), shipped = readLines(examples("kvqout/1tii_D.kvqout"));
  ASSERT_EQ(made.size(), shipped.size());
  EXPECT_EQ(made[0], shipped[0]);
  for (std::size_t i = 1; i < made.size(); ++i) {
    std::vector<std::string> a = fields(made[i]), b = fields(shipped[i]);
    ASSERT_EQ(a.size(), 11u) << made[i];
    ASSERT_EQ(b.size(), 11u) << shipped[i];
    a.pop_back(), b.pop_back();
    EXPECT_EQ(a, b) << "line " << i + 1;
  }
}

TEST(Convert, ChainBreakBridgedCysteineAndUndefinedAnglesOfChainA) {
  const ChainFiles f = build(entry("1tii_A", "A", data("1tii_A.pssm")));
  const std::vector<std::string> d = lines(f.dssp), p = lines(f.profile), q = lines(f.prediction);
  ASSERT_EQ(d.size(), 186u);
  ASSERT_EQ(p.size(), 3u + 186u + 6u);
  ASSERT_EQ(q.size(), 1u + 186u);
  EXPECT_EQ(d[45], "46 T A C");
  EXPECT_EQ(d[46], "48 T A C");    // the break line between them is left out
  EXPECT_EQ(d[183], "185 C A H");  // lower-case f in the DSSP file; state G
  EXPECT_EQ(fields(p[3 + 183])[1], "C");
  EXPECT_EQ(fields(q[1 + 183])[1], "C");
  // DSSP's 360 (undefined) becomes 0.0 at the chain's start and on both sides of the break;
  // KAPPA keeps its 360.
  EXPECT_EQ(q[1], "1 N C 0.0 153.3 0.000 360.0 360.0 39.2 28.8 148.0");
  EXPECT_EQ(fields(q[1 + 45])[4], "0.0");
  EXPECT_EQ(fields(q[1 + 46])[3], "0.0");
  EXPECT_EQ(fields(q[1 + 46])[0], "47");  // the index counts residues, not residue numbers
}

TEST(Convert, TheTwoReductionsDifferExactlyAtGAndIStates) {
  const ChainEntry a = entry("1tii_A", "A", data("1tii_A.pssm"));
  const std::vector<std::string> hgi = lines(build(a, Reduction::kHGI).dssp), h = lines(build(a, Reduction::kH).dssp);
  const std::vector<DsspResidue> residues = chainResidues(readDssp(data("1tii.dssp")), "A");
  ASSERT_EQ(hgi.size(), residues.size());
  ASSERT_EQ(h.size(), residues.size());
  int differing = 0, bridges = 0;
  for (std::size_t i = 0; i < residues.size(); ++i) {
    const char s = residues[i].state, x = hgi[i].back(), y = h[i].back();
    if (s == 'G' || s == 'I') {
      ++differing;
      EXPECT_EQ(x, 'H') << i;
      EXPECT_EQ(y, 'C') << i;
    } else {
      EXPECT_EQ(x, y) << i;
    }
    if (s == 'B') {
      ++bridges;
      EXPECT_EQ(y, 'E');
    }
    if (s == 'T' || s == 'S' || s == 'P' || s == ' ') {
      EXPECT_EQ(y, 'C');
    }
  }
  EXPECT_EQ(differing, 19);
  EXPECT_EQ(bridges, 2);
}

TEST(Convert, EveryDisagreementWithThePssmIsReportedAndNothingIsMade) {
  // Chain A's SEQRES matrix: 190 rows against 186 residues, out of step from position 47 on.
  DsspCache cache;
  const BuildResult r = buildChain(entry("1tii_A", "A", data("1tii_A_seqres.pssm")), Reduction::kHGI, "/out/", cache);
  EXPECT_FALSE(r.files);
  const std::vector<DsspResidue> residues = chainResidues(readDssp(data("1tii.dssp")), "A");
  const PssmFile pssm = readPssm(data("1tii_A_seqres.pssm"));
  std::size_t expected = 0;
  for (std::size_t i = 0; i < residues.size(); ++i)
    expected += dsspResidueLetter(residues[i].letter) != pssm.rows[i].letter;
  const std::string all = allProblems(r);
  EXPECT_GT(expected, 100u);
  EXPECT_EQ(countLines(all, "chain 1tii_A, position "), expected);
  EXPECT_EQ(countLines(all, "chain 1tii_A, position 46:"), 0u);
  EXPECT_TRUE(contains(all, "file \"" + data("1tii_A_seqres.pssm") +
                                "\", line 50: chain 1tii_A, position 47: PSSM 'A', DSSP 'T' "
                                "(residue 48 of chain A, file \"" +
                                data("1tii.dssp") + "\", line 571)"))
      << all;
  EXPECT_TRUE(contains(all, "chain 1tii_A: 190 PSSM rows, but the DSSP file has 186 residues of chain A"));

  // One changed letter in a matrix of the right length: one disagreement.
  ScratchDir dir;
  std::vector<std::string> c = readLines(data("1tii_C.pssm"));
  c[12] = withLetter(c[12], 'W');
  std::string text;
  for (const auto& l : c) text += l + "\n";
  writeFile(dir.file("c.pssm"), text);
  const BuildResult one = buildChain(entry("1tii_C", "C", dir.file("c.pssm")), Reduction::kHGI, "/out/", cache);
  EXPECT_FALSE(one.files);
  const std::string msgs = allProblems(one);
  EXPECT_EQ(countLines(msgs, "position "), 1u) << msgs;
  EXPECT_TRUE(contains(msgs, "line 13: chain 1tii_C, position 10: PSSM 'W', DSSP "));
  EXPECT_TRUE(contains(msgs, "1 of 36 residue letters disagree"));
}

TEST(Convert, AngleTableReplacesTheObservedAnglesAndArea) {
  const ChainFiles observed = build(entry("1tii_C", "C", data("1tii_C.pssm")));
  const ChainFiles predicted = build(entry("1tii_C", "C", data("1tii_C.pssm"), data("1tii_C.angles")));
  EXPECT_EQ(predicted.dssp, observed.dssp);
  EXPECT_EQ(predicted.profile, observed.profile);
  const std::vector<std::string> o = lines(observed.prediction), p = lines(predicted.prediction);
  const std::vector<std::string> table = readLines(data("1tii_C.angles"));
  ASSERT_EQ(p.size(), 37u);
  ASSERT_EQ(table.size(), 37u);
  for (std::size_t i = 1; i < p.size(); ++i) {
    const std::vector<std::string> a = fields(p[i]), b = fields(o[i]), t = fields(table[i]);
    EXPECT_EQ(a[3], t[1]);
    EXPECT_EQ(a[4], t[2]);
    EXPECT_EQ(a[10], t[3]);
    for (int k : {0, 1, 2, 5, 6, 7, 8, 9}) EXPECT_EQ(a[k], b[k]) << i << " " << k;
  }

  ScratchDir dir;
  std::string bad = readFile(data("1tii_C.angles"));
  bad.replace(bad.find("\nC "), 3, "\nK ");
  writeFile(dir.file("bad.angles"), bad);
  DsspCache cache;
  const BuildResult r =
      buildChain(entry("1tii_C", "C", data("1tii_C.pssm"), dir.file("bad.angles")), Reduction::kHGI, "/out/", cache);
  EXPECT_FALSE(r.files);
  EXPECT_TRUE(contains(allProblems(r), "bad.angles\", line 4: chain 1tii_C, position 3: angle table 'K', DSSP 'C'"))
      << allProblems(r);
}

TEST(Convert, FastaHoldsTheSequenceTheDataSetHolds) {
  const std::vector<DsspResidue> residues = chainResidues(readDssp(data("1tii.dssp")), "A");
  const std::string fasta = fastaOf("1tii_A", data("1tii.dssp"), "A", residues);
  const std::vector<std::string> l = lines(fasta);
  EXPECT_EQ(l[0], ">1tii_A chain A of 1tii.dssp, 186 residues");
  std::string seq;
  for (std::size_t i = 1; i < l.size(); ++i) seq += l[i];
  std::string expected;
  for (const auto& d : lines(build(entry("1tii_A", "A", data("1tii_A.pssm"))).dssp)) expected += fields(d)[1];
  EXPECT_EQ(seq, expected);
  EXPECT_EQ(l[1].size(), 60u);
}

// A run of kelvor-prep on the chains list, then kelvor's own reading of what it wrote.
TEST(ConvertRun, KelvorReadsTheWrittenDataSetWithoutAStop) {
  ScratchDir root;
  const ToolRun run = runPrep(KELVOR_PREP_DATA, {"-d", root.path().string(), "chains.txt"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(contains(run.out, "wrote 3 chains, 320 residues")) << run.out;

  DataStore store;
  store.pname = readProteinList(root.file("proteins.list"));
  ASSERT_EQ(store.pname.size(), 3u);
  store.nprot = store.ntrval = store.ntrain = 3;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  bool stopped = false;
  try {
    setio(store, root.path().string() + "/");
  } catch (const std::exception&) {
    stopped = true;
  }
  const std::string out = testing::internal::GetCapturedStdout(), err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(stopped) << out << err;
  EXPECT_EQ(out + err, "");
  EXPECT_EQ(store.nta, 320);
  // Residue 185 of chain A (data-set residue 184): a cysteine whose G state reads as helix; the
  // chain's first residue has its undefined phi as 0.
  const Encoder enc;
  for (int k = 1; k <= 7; ++k) EXPECT_EQ(store.fin(184, k), enc.parameter('C', k) / 0.9);
  EXPECT_EQ(store.fin(184, 36), 0.5);
  EXPECT_EQ(store.fin(1, 29), 0.0);

  const ToolRun check = runPrep(root.path(), {"--check", "-d", "."});
  EXPECT_EQ(check.status, 0) << check.err;
  EXPECT_TRUE(contains(check.out, "3 proteins, 320 residues: no problems, 0 warnings")) << check.out;

  // kelvor itself, on the data root it was built with when that is the working directory.
  if (defaultDataRoot() != "./") GTEST_SKIP() << "kelvor reads " << defaultDataRoot();
  // Twelve list lines (the three chains four times over) give a validation part of one protein.
  writeFile(root.file("kelvor.list"), readFile(root.file("proteins.list")) + readFile(root.file("proteins.list")) +
                                          readFile(root.file("proteins.list")) + readFile(root.file("proteins.list")));
  kelvor::test::writeDefaults(root.path(), 1, 12, 1, 0.1, "'kelvor.list' real");
  const kelvor::test::RunResult k = kelvor::test::runKelvor(root.path());
  EXPECT_EQ(k.status, 0) << k.out << k.err;
  EXPECT_TRUE(contains(k.out, "-------------------quandel-------------------")) << k.out;
  EXPECT_EQ(countLines(k.out, " Q10P:"), 2u) << k.out;
}

TEST(ConvertRun, OneBadChainStopsAllWritingUnlessSkipBadIsGiven) {
  ScratchDir root;
  writeFile(root.file("chains.txt"), "good " + data("1tii.dssp") + " D " + data("1tii_D.pssm") + "\n" + "bad " +
                                         data("1tii.dssp") + " A " + data("1tii_A_seqres.pssm") + "\n");
  const std::string out = root.file("out");
  const ToolRun refused = runPrep(root.path(), {"-d", out, "chains.txt"});
  EXPECT_EQ(refused.status, 3);
  EXPECT_TRUE(contains(refused.err, "kelvor-prep: nothing written: 1 chain of 2 do not convert")) << refused.err;
  EXPECT_FALSE(fs::exists(out));

  const ToolRun skipped = runPrep(root.path(), {"--skip-bad", "-d", out, "-l", root.file("list"), "chains.txt"});
  EXPECT_EQ(skipped.status, 0) << skipped.err;
  EXPECT_TRUE(contains(skipped.err, "left out 1 chain that did not convert")) << skipped.err;
  EXPECT_EQ(readFile(root.file("list")), "good\n");
  EXPECT_TRUE(fs::exists(out + "/kvqout/good.kvqout"));
  EXPECT_FALSE(fs::exists(out + "/dssp_data/bad"));
}

TEST(ConvertRun, CommandLine) {
  const ToolRun help = runPrep(".", {"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* opt : {"-d, --data-root DIR", "-l, --list FILE", "-r, --reduction R", "--skip-bad", "--fasta DIR",
                          "--check", "-h, --help", "--version"})
    EXPECT_TRUE(contains(help.out, opt)) << opt;
  // Every option that takes effect has its default on the help text.
  EXPECT_EQ(countLines(help.out, "(default: "), 6u) << help.out;

  ScratchDir dir;
  const struct {
    std::vector<std::string> args;
    int status;
    std::string message;
  } cases[] = {
      {{"--frobnicate", "x"}, 1, "unknown option --frobnicate"},
      {{}, 1, "no CHAINS file given"},
      {{"a", "b"}, 1, "one CHAINS file only"},
      {{"--check", "a"}, 1, "--check takes no CHAINS file"},
      {{"-r", "hge", "a"}, 1, "option --reduction takes hgi or h, not \"hge\""},
      {{"-d"}, 1, "option -d needs a value"},
      {{"--skip-bad=yes", "a"}, 1, "option --skip-bad takes no value"},
      {{"missing.txt"}, 2, "file \"missing.txt\": no such file"},
  };
  for (const auto& c : cases) {
    const ToolRun r = runPrep(dir.path(), c.args);
    EXPECT_EQ(r.status, c.status) << c.message;
    EXPECT_TRUE(contains(r.err, "kelvor-prep: " + c.message)) << r.err;
    if (c.status == 1) {
      EXPECT_TRUE(contains(r.err, "Try 'kelvor-prep --help'."));
    }
  }
}

}  // namespace
}  // namespace kelvor::prep
