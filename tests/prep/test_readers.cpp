// The input readers of kelvor-prep on real mkdssp and psiblast output, and on damaged copies.
#include <gtest/gtest.h>

#include "tests/prep/prep_support.h"
#include "tools/prep/angle_table.h"
#include "tools/prep/chain_list.h"
#include "tools/prep/dssp_reader.h"
#include "tools/prep/problems.h"
#include "tools/prep/pssm_reader.h"
#include "tools/prep/residues.h"

namespace kelvor::prep {
namespace {

using namespace test;

// The message of the InputError that `f` throws ("" when it throws none).
template <class F>
std::string failure(F f) {
  try {
    f();
  } catch (const InputError& e) {
    return e.what();
  }
  return "";
}

TEST(DsspReader, RealOutputWithBreaksBetweenAndWithinChainsAndBridgedCysteines) {
  const DsspFile f = readDssp(data("1tii.dssp"));
  EXPECT_EQ(f.chains(), "DEFGHAC");
  EXPECT_EQ(f.breaks, 7);  // "!*" between the seven chains, "!" at the gap of chain A
  EXPECT_EQ(f.residues.size(), 712u);

  const std::vector<DsspResidue> a = chainResidues(f, "A");
  ASSERT_EQ(a.size(), 186u);
  EXPECT_EQ(a[45].number, "46");
  EXPECT_EQ(a[46].number, "48");  // residue 47 is missing: the break line is left out
  EXPECT_EQ(a[46].line, 571);
  EXPECT_EQ(a[183].number, "185");
  EXPECT_EQ(a[183].letter, 'f');  // bridged to cysteine 197 of chain C
  EXPECT_EQ(dsspResidueLetter(a[183].letter), 'C');
  EXPECT_EQ(a[183].state, 'G');
  EXPECT_EQ(a[0].phi, "360.0");
  EXPECT_EQ(a[1].kappa, "360.0");
  EXPECT_EQ(a[1].alpha, "-159.2");  // KAPPA and ALPHA run together in fixed columns
  EXPECT_EQ(a[0].acc, "148");

  const std::vector<DsspResidue> d = chainResidues(f, "D");
  ASSERT_EQ(d.size(), 98u);
  EXPECT_EQ(d[9].letter, 'a');
  EXPECT_EQ(d[80].letter, 'a');
  EXPECT_EQ(d.front().line, 29);

  EXPECT_TRUE(
      contains(failure([&] { chainResidues(f, "Q"); }), "no residues of chain 'Q'; the file has chains D E F G H A C"));
  EXPECT_TRUE(contains(failure([&] { chainResidues(f, "-"); }), "has 7: D E F G H A C"));
}

TEST(DsspReader, RefusesWhatIsNotClassicDsspNamingFileAndLine) {
  const std::string text = readFile(data("1tii.dssp"));
  const std::vector<std::string> lines = readLines(data("1tii.dssp"));
  auto with = [&](std::size_t lineIndex, const std::string& replacement) {
    std::string t;
    for (std::size_t i = 0; i < lines.size(); ++i) t += (i == lineIndex ? replacement : lines[i]) + "\n";
    return t;
  };
  std::string garbledPhi = lines[40];
  garbledPhi.replace(103, 6, "  abc ");
  std::string badState = lines[40];
  badState[16] = 'Q';
  const struct {
    std::string text, expected;
  } cases[] = {
      {"data_1TII\n#\n_entry.id 1TII\n", "this is mmCIF output; run mkdssp with --output-format dssp"},
      {"HEADER\nnothing here\n", "no residue header line"},
      {with(40, lines[40].substr(0, 100)), "line 41: residue line of 100 characters"},
      {with(40, garbledPhi), "line 41: PHI \"abc\" in columns 104-109 is not a number"},
      {with(40, badState), "line 41: secondary structure 'Q' in column 17 is not a DSSP state"},
      {text.substr(0, text.find("  #  RESIDUE")) + "  #  RESIDUE AA STRUCTURE\n", "no residue lines"},
  };
  for (const auto& c : cases) {
    const std::string msg = failure([&] { parseDssp("x.dssp", c.text); });
    EXPECT_TRUE(contains(msg, "file \"x.dssp\"")) << msg;
    EXPECT_TRUE(contains(msg, c.expected)) << msg;
  }
}

TEST(PssmReader, RealMatrixRowsTitleAndFooter) {
  const PssmFile p = readPssm(data("1tii_A.pssm"));
  ASSERT_EQ(p.rows.size(), 186u);
  EXPECT_EQ(p.rows.front().line, 4);
  EXPECT_EQ(p.rows.front().letter, 'N');
  EXPECT_EQ(p.rows[183].letter, 'C');  // the bridged cysteine, as --fasta wrote it
  EXPECT_EQ(p.title.rfind("Last position-specific scoring matrix computed", 0), 0u);
  EXPECT_EQ(p.footer.size(), 6u);  // a blank line, the K and Lambda table of 5 lines
  EXPECT_TRUE(contains(p.footer[1], "Lambda"));

  // Only the letter of a row changes; the columns stay where psiblast put them.
  const std::string row = p.rows.front().text;
  const std::string changed = withLetter(row, 'X');
  ASSERT_EQ(changed.size(), row.size());
  EXPECT_EQ(changed.substr(0, 6), row.substr(0, 6));
  EXPECT_EQ(changed[6], 'X');
  EXPECT_EQ(changed.substr(7), row.substr(7));
}

TEST(PssmReader, RefusesDamagedMatricesNamingFileAndLine) {
  std::vector<std::string> lines = readLines(data("1tii_C.pssm"));
  auto joined = [](const std::vector<std::string>& v) {
    std::string t;
    for (const auto& l : v) t += l + "\n";
    return t;
  };
  auto edited = [&](std::size_t i, const std::string& from, const std::string& to) {
    std::vector<std::string> v = lines;
    v[i].replace(v[i].find(from), from.size(), to);
    return joined(v);
  };
  std::vector<std::string> noHeader = lines;
  noHeader.erase(noHeader.begin() + 2);
  const struct {
    std::string text, expected;
  } cases[] = {
      {edited(2, "A   R", "R   A"), "line 4: matrix row before the column header line"},  // columns out of order
      {"\nnot a matrix\n", "no column header line"},
      {joined({lines.begin(), lines.begin() + 3}), "no matrix rows after the column header line"},
      {joined(noHeader), "line 3: matrix row before the column header line"},
      {edited(5, "    3 C", "    4 C"), "line 6: row of position 4 where position 3 was due"},
      {edited(4, " -1 ", " x1 "), "line 5: score"},
      {edited(4, " T ", " "), "line 5: not a matrix row"},
  };
  for (const auto& c : cases) {
    const std::string msg = failure([&] { parsePssm("c.pssm", c.text); });
    EXPECT_TRUE(contains(msg, "file \"c.pssm\"")) << msg;
    EXPECT_TRUE(contains(msg, c.expected)) << msg;
  }
}

TEST(AngleTable, CommentsSkippedBadLinesNamed) {
  const std::vector<AngleRow> rows = readAngleTable(data("1tii_C.angles"));
  ASSERT_EQ(rows.size(), 36u);
  EXPECT_EQ(rows[0].line, 2);
  EXPECT_EQ(rows[0].letter, 'T');
  EXPECT_EQ(rows[0].angle2, "152");

  EXPECT_TRUE(contains(failure([] { parseAngleTable("t", "# x\nA 1 2\n"); }), "file \"t\", line 2: not a table line"));
  EXPECT_TRUE(contains(failure([] { parseAngleTable("t", "A 1 2 nan\n"); }), "line 1: area \"nan\" is not a number"));
  EXPECT_TRUE(contains(failure([] { parseAngleTable("t", "\n# only comments\n"); }), "no table lines"));
}

TEST(ChainList, RelativeNamesFromTheListsDirectoryAndEveryFaultyLine) {
  std::vector<Problem> problems;
  const std::vector<ChainEntry> entries = parseChainList("/data/set/chains.txt",
                                                         "# comment\n"
                                                         "\n"
                                                         "a1  x.dssp A x.pssm\n"
                                                         "a2  /abs/y.dssp - ../y.pssm t.angles\n"
                                                         "a3  x.dssp\n"
                                                         "a/4 x.dssp A x.pssm\n"
                                                         "a1  x.dssp B x.pssm\n"
                                                         "a5  x.dssp AB x.pssm\n",
                                                         problems);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].dssp, "/data/set/x.dssp");
  EXPECT_EQ(entries[0].angles, "");
  EXPECT_EQ(entries[1].dssp, "/abs/y.dssp");
  EXPECT_EQ(entries[1].pssm, "/data/set/../y.pssm");
  EXPECT_EQ(entries[1].angles, "/data/set/t.angles");
  ASSERT_EQ(problems.size(), 4u);
  EXPECT_EQ(problems[0].line, 5);
  EXPECT_TRUE(contains(problems[0].text, "this one has 2 fields"));
  EXPECT_TRUE(contains(problems[1].text, "holds a '/'"));
  EXPECT_TRUE(contains(problems[2].text, "a1 is given twice"));
  EXPECT_TRUE(contains(problems[3].text, "one-character chain identifiers"));

  EXPECT_FALSE(badName("1tii_A"));
  EXPECT_TRUE(badName(std::string(121, 'x')));
  EXPECT_FALSE(badName(std::string(120, 'x')));
  EXPECT_TRUE(badName(".."));
  EXPECT_TRUE(badName("a\tb"));
}

}  // namespace
}  // namespace kelvor::prep
