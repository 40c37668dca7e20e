// --check: the shipped set passes; every problem planted in a damaged copy is listed, and
// nothing else; the reading follows kelvor's own record rules.
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "tests/prep/prep_support.h"
#include "tools/prep/check.h"

namespace fs = std::filesystem;

namespace kelvor::prep {
namespace {

using namespace test;

TEST(Check, TheShippedExampleSetHasNoProblem) {
  const RootCheck rc = checkDataRoot(examples(""), examples("proteins.list"), diskLoader());
  EXPECT_EQ(rc.proteins, 213);
  EXPECT_EQ(rc.residues, 46047);
  EXPECT_EQ(rc.faulty, 0);
  for (const auto& p : rc.problems) ADD_FAILURE() << p.str();
}

// A list line past the 120 characters of a name is an error, as kelvor refuses it; one of exactly
// 120 characters with trailing blanks is a name like any other.
TEST(Check, ANameLongerThanKelvorKeepsIsAnError) {
  ScratchDir dir;
  const std::vector<std::string> n = kelvor::test::copyExampleChains(dir.path() / "root", 1);
  writeFile(dir.file("root/proteins.list"),
            n[0] + "\n" + std::string(121, 'x') + "\n" + std::string(120, 'y') + "  \n");
  const RootCheck rc = checkDataRoot((dir.path() / "root").string(), dir.file("root/proteins.list"), diskLoader());
  bool refused = false;
  for (const auto& p : rc.problems) {
    if (p.str().find("line 2: name of 121 characters; allowed: at most 120, a name is never cut") != std::string::npos)
      refused = true;
    EXPECT_EQ(p.str().find("line 1:"), std::string::npos) << p.str();
  }
  EXPECT_TRUE(refused);
  EXPECT_GE(rc.faulty, 1);
}

// A name ends at its last character other than a blank or tab, as kelvor reads it: a line of
// tabs is blank (kelvor refuses it), and a name followed by a tab names the files of the name.
TEST(Check, TrailingTabsAreNotPartOfAName) {
  ScratchDir dir;
  const std::vector<std::string> n = kelvor::test::copyExampleChains(dir.path() / "root", 1);
  writeFile(dir.file("root/proteins.list"), n[0] + "\t\n\t \t\n");
  const RootCheck rc = checkDataRoot(dir.file("root/"), dir.file("root/proteins.list"), diskLoader());
  ASSERT_EQ(rc.problems.size(), 1u);
  EXPECT_NE(rc.problems[0].str().find("line 2: blank line"), std::string::npos) << rc.problems[0].str();
  EXPECT_EQ(rc.faulty, 1);
}

// Replaces the `field`-th blank-separated word (0-based) of line `line` (1-based) of a file.
void editField(const std::string& path, int line, int field, const std::string& value) {
  std::vector<std::string> lines = readLines(path);
  std::vector<std::string> w = fields(lines[line - 1]);
  w[field] = value;
  std::string joined;
  for (const auto& x : w) joined += (joined.empty() ? "" : " ") + x;
  lines[line - 1] = joined;
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  writeFile(path, text);
}

std::string otherLetter(const std::string& path, int line) {
  return fields(readLines(path)[line - 1])[1] == "K" ? "R" : "K";
}

TEST(Check, EveryProblemPlantedInADamagedCopyIsListedAndNothingElse) {
  ScratchDir dir;
  const std::vector<std::string> n = kelvor::test::copyExampleChains(dir.path() / "root", 9);
  // Paths as the report names them (the check runs in dir with the data root "root"), and as
  // the edits reach them.
  auto dssp = [&](int i) { return "root/dssp_data/" + n[i]; };
  auto prof = [&](int i) { return "root/new_prf/" + n[i] + ".mat"; };
  auto pred = [&](int i) { return "root/kvqout/" + n[i] + ".kvqout"; };
  auto at = [&](const std::string& rel) { return dir.file(rel); };

  // (file, line, what the message says)
  std::set<std::tuple<std::string, long, std::string>> planted;
  editField(at(dssp(0)), 5, 1, otherLetter(at(dssp(0)), 5));
  planted.insert({dssp(0), 5, "residue 5: residue letters disagree"});
  editField(at(prof(0)), 3 + 12, 2, "NaN");
  planted.insert({prof(0), 15, "residue 12: profile value 1 is not a finite number"});
  editField(at(pred(1)), 1 + 7, 1, otherLetter(at(pred(1)), 8));
  planted.insert({pred(1), 8, "residue 7: residue letters disagree"});
  editField(at(dssp(2)), 3, 3, "G");
  planted.insert({dssp(2), 3, "residue 3: structure letter 'G' is not H, E or C"});
  editField(at(prof(3)), 3 + 10, 3, "abc");
  planted.insert({prof(3), 13, "residue 10: unreadable value \"abc\" (item 4); kelvor ends the protein before it"});
  {
    std::vector<std::string> l = readLines(at(pred(4)));
    l.resize(21);
    std::string t;
    for (const auto& x : l) t += x + "\n";
    writeFile(at(pred(4)), t);
    planted.insert({pred(4), 0, "the prediction file holds 20 residue records"});
  }
  fs::remove(at(prof(5)));
  planted.insert({prof(5), 0, "the profile file is missing; kelvor stops on it"});
  fs::remove(at(dssp(6)));
  planted.insert({dssp(6), 0, "the DSSP-data file is missing"});
  editField(at(pred(7)), 1 + 4, 2, "C/");
  planted.insert({pred(7), 5, "residue 4: a '/' or an empty ',' field leaves fields of the record unread"});
  // A chain under another name: the same letters twice.
  fs::copy_file(at(dssp(8)), at("root/dssp_data/twin"));
  fs::copy_file(at(prof(8)), at("root/new_prf/twin.mat"));
  fs::copy_file(at(pred(8)), at("root/kvqout/twin.kvqout"));
  // The list: a blank line after the fourth protein, the first protein once more, the twin last.
  std::string list;
  for (int i = 0; i < 9; ++i) list += n[i] + "\n" + (i == 3 ? "\n" : "");
  list += n[0] + "\ntwin\n";
  writeFile(at("root/proteins.list"), list);
  planted.insert({"root/proteins.list", 5, "blank line"});

  const ToolRun run = runPrep(dir.path(), {"--check", "--data-root", "root"});
  EXPECT_EQ(run.status, 3);
  // The report lines: kelvor-prep: [warning: ]file "F"[, line L]: text, then the summary.
  std::vector<std::tuple<std::string, long, std::string>> found;
  std::vector<std::string> warnings;
  std::string summary;
  writeFile(dir.file("err"), run.err);
  for (const auto& line : readLines(dir.file("err"))) {
    ASSERT_EQ(line.rfind("kelvor-prep: ", 0), 0u) << line;
    const std::string s = line.substr(13);
    if (s.rfind("warning: ", 0) == 0) {
      warnings.push_back(s);
    } else if (s.rfind("file \"", 0) != 0) {
      summary = s;
    } else {
      const std::size_t q = s.find('"', 6), colon = s.find(": ", q);
      const long no = s.compare(q + 1, 7, ", line ") == 0 ? std::stol(s.substr(q + 8, colon - q - 8)) : 0;
      found.emplace_back(s.substr(6, q - 6), no, s.substr(colon + 2));
    }
  }
  EXPECT_EQ(found.size(), planted.size()) << run.err;
  for (const auto& [file, line, text] : planted) {
    bool hit = false;
    for (const auto& [f, l, t] : found) hit |= f == file && l == line && contains(t, text);
    EXPECT_TRUE(hit) << "not reported: " << file << " line " << line << ": " << text << "\n" << run.err;
  }
  ASSERT_EQ(warnings.size(), 2u) << run.err;
  EXPECT_TRUE(contains(warnings[0], "line 11: protein " + n[0] + " is listed before, on line 1"));
  EXPECT_EQ(warnings[1],
            "warning: file \"root/dssp_data/twin\", line 1: protein twin has the same sequence and structure letters "
            "as protein " +
                n[8] + " (list line 10); kelvor uses the chain twice");
  EXPECT_EQ(summary, "10 problems and 2 warnings in 9 of 12 proteins (list root/proteins.list, data root root/)");
}

// Small proteins read from memory: kelvor's record rules, case by case.
TEST(Check, RecordsAreReadByKelvorsRules) {
  const std::string prof3 = std::string("h\nh\nh\n") + "1 A 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\n" +
                            "2 A 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\n" +
                            "3 A 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\n";
  const std::string pred3 = "#\n1 A H -60 -45 0 0 0 0 0 50\n2 A H -60 -45 0 0 0 0 0 50\n3 A H -60 -45 0 0 0 0 0 50\n";
  const struct {
    const char* what;
    std::string dssp, prof, pred;
    std::vector<std::string> errors, warnings;  // message parts, in report order
    int residues;
  } cases[] = {
      {"clean", "1 A x H\n2 A x H\n3 A x H\n", prof3, pred3, {}, {}, 3},
      {"a record without its chain field takes the next line's first word as its structure letter",
       "1 A x H\n2 A H\n3 A x H\n",
       prof3,
       pred3,
       {"dssp_data/p\", line 2: protein p: residue 2: structure letter '3'"},
       {"new_prf/p.mat\", line 6: protein p: 1 more residue record than the DSSP-data file (2)",
        "kvqout/p.kvqout\", line 4: protein p: 1 more residue record",
        "dssp_data/p\", line 2: protein p: residue 2: the record runs over lines 2-3"},
       2},
      {"a last record cut short is dropped",
       "1 A x H\n2 A x H\n3 A\n",
       prof3,
       pred3,
       {"dssp_data/p\", line 3: protein p: a record with fewer than 4 fields at the end of the file"},
       {"new_prf/p.mat\", line 6: protein p: 1 more", "kvqout/p.kvqout\", line 4: protein p: 1 more"},
       2},
      {"a profile record may run over two lines",
       "1 A x H\n2 A x H\n3 A x H\n",
       "h\nh\nh\n1 A 1 2 3 4 5 6 7 8 9 10\n 11 12 13 14 15 16 17 18 19 20\n2 A 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 "
       "17 18 19 20\n"
       "3 A 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\n",
       pred3,
       {},
       {},
       3},
      {"lower case agreeing in all three files",
       "1 a x H\n2 A x H\n3 A x H\n",
       "h\nh\nh\n1 a 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\n" + prof3.substr(prof3.find("2 A")),
       "#\n1 a H -60 -45 0 0 0 0 0 50\n" + pred3.substr(pred3.find("2 A")),
       {},
       {"dssp_data/p\", line 1: protein p: residue 1: lower-case residue letter 'a'"},
       3},
      {"an undefined angle left at 360",
       "1 A x H\n2 A x H\n3 A x H\n",
       prof3,
       "#\n1 A H 360.0 -45 0 0 0 0 0 50\n" + pred3.substr(pred3.find("2 A")),
       {},
       {"kvqout/p.kvqout\", line 2: protein p: residue 1: the first angle is 360"},
       3},
      {"profile letter off: named in the profile file, aa12",
       "1 A x H\n2 A x H\n3 A x H\n",
       prof3.substr(0, prof3.find("3 A")) + "3 W" + prof3.substr(prof3.find("3 A") + 3),
       pred3,
       {"new_prf/p.mat\", line 6: protein p: residue 3: residue letters disagree: DSSP-data 'A' (line 3), profile 'W' "
        "(line 6), prediction 'A' (line 4); kelvor stops (aa12 mismatch)"},
       {},
       3},
      {"the prediction index must be an integer",
       "1 A x H\n2 A x H\n3 A x H\n",
       prof3,
       "#\n1 A H -60 -45 0 0 0 0 0 50\n# 2 A H -60 -45 0 0 0 0 0 50\n3 A H -60 -45 0 0 0 0 0 50\n",
       {"kvqout/p.kvqout\", line 3: protein p: residue 2: unreadable value \"#\" (item 1); kelvor ends the protein "
        "before it"},
       {},
       1},
      {"a number that is not finite is refused as kelvor refuses it",
       "1 A x H\n2 A x H\n3 A x H\n",
       prof3,
       "#\n1 A H -60 -45 0 0 0 0 0 1e400\n" + pred3.substr(pred3.find("2 A")),
       {"kvqout/p.kvqout\", line 2: protein p: residue 1: number 8 is not a finite number; kelvor refuses the file"},
       {},
       0},
      {"header lines cannot be skipped",
       "1 A x H\n",
       "h\nh\n",
       "",
       {"new_prf/p.mat\": protein p: the profile file has 2 lines; kelvor skips 3 header lines",
        "kvqout/p.kvqout\": protein p: the prediction file has 0 lines; kelvor skips 1 header line"},
       {},
       0},
  };
  for (const auto& c : cases) {
    const std::map<std::string, std::string> files{
        {"/r/dssp_data/p", c.dssp}, {"/r/new_prf/p.mat", c.prof}, {"/r/kvqout/p.kvqout", c.pred}};
    const Loader load = [&](const std::string& path) -> std::optional<std::string> { return files.at(path); };
    const ProteinCheck pc = checkProtein("p", "/r/", load);
    std::vector<std::string> errors, warnings;
    for (const auto& p : pc.problems) (p.severity == Problem::kError ? errors : warnings).push_back(p.str());
    ASSERT_EQ(errors.size(), c.errors.size()) << c.what << "\n" << ::testing::PrintToString(errors);
    ASSERT_EQ(warnings.size(), c.warnings.size()) << c.what << "\n" << ::testing::PrintToString(warnings);
    for (std::size_t i = 0; i < errors.size(); ++i)
      EXPECT_TRUE(contains(errors[i], c.errors[i])) << c.what << "\n" << errors[i];
    for (const auto& w : c.warnings) {
      bool hit = false;
      for (const auto& x : warnings) hit |= contains(x, w);
      EXPECT_TRUE(hit) << c.what << ": " << w << "\n" << ::testing::PrintToString(warnings);
    }
    EXPECT_EQ(pc.residues, c.residues) << c.what;
  }
}

}  // namespace
}  // namespace kelvor::prep
