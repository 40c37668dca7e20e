// Whole runs of the kelvor program on real chains: the command line, the lines of standard
// output and of the report file, training then prediction, and repeatability.
#include <gtest/gtest.h>

#include <regex>

#include "network/netinit.h"
#include "run/driver.h"
#include "ground/errors.h"
#include "ground/freeform_writer.h"
#include "tests/support/test_support.h"

namespace kelvor {
namespace {

using test::readFile;
using test::readLines;
using test::runKelvor;
using test::ScratchDir;

std::string seedLine(int offset) {
  return Line().text("random seed = ").integer(*seedFromTime(offset, {0, 0, 0})).str();
}

TEST(CommandLine, TheFirstArgumentIsReadAsARealAndRounded) {
  EXPECT_EQ(seedOffsetFromArgument(nullptr), 7);
  EXPECT_EQ(seedOffsetFromArgument("2.5"), 3);
  EXPECT_EQ(seedOffsetFromArgument("-2.5"), -3);
  EXPECT_EQ(seedOffsetFromArgument("0.4"), 0);
  EXPECT_EQ(seedOffsetFromArgument("3.49"), 3);
  EXPECT_EQ(seedOffsetFromArgument("1.5E1"), 15);
  EXPECT_EQ(seedOffsetFromArgument("  1.5d1  "), 15);
  EXPECT_EQ(seedOffsetFromArgument("4,9"), 4);
  EXPECT_EQ(seedOffsetFromArgument("/5"), 7);  // no value: the default
  EXPECT_EQ(seedOffsetFromArgument(",5"), 7);
  for (const char* bad : {"12abc", "", "   ", "x", "3e99", "'5'"})
    EXPECT_THROW(seedOffsetFromArgument(bad), ConfigError) << bad;
  EXPECT_THROW(seedOffsetFromArgument("2147483647.6"), ConfigError);
  EXPECT_EQ(seedOffsetFromArgument("-2147483648"), -2147483647 - 1);
}

class WholeRun : public testing::Test {
 protected:
  static void SetUpTestSuite() {}
  void prepare(int epochs, int chains = 20, double testFraction = 0.25) {
    test::copyExampleChains(dir.path(), chains);
    test::writeDefaults(dir.path(), epochs, chains, 1, testFraction);
  }
  ScratchDir dir;
};

TEST_F(WholeRun, TheProgramUsesOnlyItsFirstArgumentAndRefusesNonNumbers) {
  prepare(0, 3);
  // Prediction mode without weight files: the run prints its seed line, then fails on fort.77.
  test::RunResult none = runKelvor(dir.path());
  EXPECT_EQ(none.out.substr(0, none.out.find('\n')), seedLine(7));
  EXPECT_EQ(none.status, kExitFile);
  EXPECT_NE(none.err.find("fort.77"), std::string::npos) << none.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("fort.77")));
  test::RunResult two = runKelvor(dir.path(), {"5", "9"});
  EXPECT_EQ(two.out.substr(0, two.out.find('\n')), seedLine(5));
  test::RunResult half = runKelvor(dir.path(), {"-2.5"});
  EXPECT_EQ(half.out.substr(0, half.out.find('\n')), seedLine(-3));

  ScratchDir empty;
  test::RunResult bad = runKelvor(empty.path(), {"12abc"});
  EXPECT_EQ(bad.status, kExitUsage);
  EXPECT_EQ(bad.out, "");
  EXPECT_NE(bad.err.find("12abc"), std::string::npos) << bad.err;
  EXPECT_EQ(bad.err.find("kelvor.in"), std::string::npos) << "the defaults file must not be read first";
}

TEST_F(WholeRun, HelpAndVersionAnswerBeforeAnythingIsReadAndARunEndsWithAClosingLine) {
  ScratchDir empty;
  for (const char* ask : {"--help", "-h"}) {
    test::RunResult help = runKelvor(empty.path(), {ask});
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(help.out.rfind("Usage: kelvor [SEED-OFFSET]\n", 0), 0u) << help.out;
    for (const char* must :
         {"kelvor.in", "kelvor.valdav", "fort.77", "KELVOR_TIME", "KELVOR_KERNEL", "KELVOR_THREADS", "Exit status"})
      EXPECT_NE(help.out.find(must), std::string::npos) << must;
    EXPECT_EQ(help.err, "");
  }
  test::RunResult version = runKelvor(empty.path(), {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("kelvor \\d+\\.\\d+\\.\\d+\n"))) << version.out;
  EXPECT_TRUE(std::filesystem::is_empty(empty.path()));
  // Anything else is still the seed offset.
  EXPECT_EQ(runKelvor(empty.path(), {"--helpme"}).status, kExitUsage);

  // Training names the report and the weight files it wrote; prediction only the report.
  prepare(1, 20, 0.25);
  const std::regex closing(R"(kelvor: done in \d+\.\d s, peak memory \d+ MiB; wrote (.*)\n)");
  std::smatch m;
  test::RunResult train = runKelvor(dir.path());
  ASSERT_EQ(train.status, 0) << train.err;
  ASSERT_TRUE(std::regex_search(train.err, m, closing)) << train.err;
  EXPECT_EQ(m[1], "kelvor.valdav, fort.77, fort.78, fort.79, fort.87, fort.88");
  test::writeDefaults(dir.path(), 0, 20, 1, 0.25);
  test::RunResult predict = runKelvor(dir.path());
  ASSERT_EQ(predict.status, 0) << predict.err;
  ASSERT_TRUE(std::regex_search(predict.err, m, closing)) << predict.err;
  EXPECT_EQ(m[1], "kelvor.valdav");
}

TEST_F(WholeRun, MessagesSayWhatToDoAndUnlikelySettingsAreWarnedAbout) {
  ScratchDir empty;
  test::RunResult none = runKelvor(empty.path());
  EXPECT_EQ(none.status, kExitFile);
  EXPECT_NE(none.err.find("file is missing in " + std::filesystem::canonical(empty.path()).string()), std::string::npos)
      << none.err;
  EXPECT_NE(none.err.find("runs in a directory that holds its defaults file \"kelvor.in\""), std::string::npos)
      << none.err;

  // A comma in the learning rate reads as 0, and fold 100 puts the test block beyond the list:
  // both are valid, warned about, and the run goes on.
  prepare(1, 20, 0.25);
  std::string defaults = readFile(dir.file("kelvor.in"));
  std::vector<std::string> lines;
  for (std::size_t a = 0, b; (b = defaults.find('\n', a)) != std::string::npos; a = b + 1)
    lines.push_back(defaults.substr(a, b - a));
  lines[3] = "0,001";
  lines[7] = "100";
  std::string edited;
  for (const auto& l : lines) edited += l + "\n";
  test::writeFile(dir.file("kelvor.in"), edited);
  test::RunResult r = runKelvor(dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("kelvor: warning: learning rate (setting 4 of kelvor.in) is 0: training changes no weight"),
            std::string::npos)
      << r.err;
  EXPECT_NE(
      r.err.find("kelvor: warning: fold number (setting 8 of kelvor.in) is 100: its test block (list lines 496 to 500) "
                 "lies wholly outside the list of 20 proteins, so the test part is the last 5 proteins, as for fold 0; "
                 "folds with a block inside the list: 1 to 4"),
      std::string::npos)
      << r.err;
}

TEST_F(WholeRun, TrainingWritesExactlyTheSpecifiedLines) {
  prepare(2);
  test::RunResult r = runKelvor(dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::regex real(R"([ -]{0,3}\d\.\d{15}     )");
  std::vector<std::string> out;
  for (std::size_t a = 0, b; (b = r.out.find('\n', a)) != std::string::npos; a = b + 1)
    out.push_back(r.out.substr(a, b - a));
  ASSERT_EQ(out.size(), 6u) << r.out;
  EXPECT_EQ(out[0], seedLine(7));
  EXPECT_EQ(out[1], " -------------------quandel-------------------");
  EXPECT_EQ(out[2].substr(0, 6), " Q10P:");
  EXPECT_TRUE(std::regex_match(out[2].substr(6), std::regex(R"(  0\.\d{15}     )"))) << out[2];
  EXPECT_EQ(out[3], " #After filter");
  EXPECT_EQ(out[4], " #------------");
  EXPECT_EQ(out[5].substr(0, 6), " Q10P:");

  std::vector<std::string> rep = readLines(dir.file("kelvor.valdav"));
  ASSERT_EQ(rep.size(), 17u);
  const std::regex epoch(R"( {5}[12]( {4}0\.\d{4}D[+-]\d\d){3})");
  EXPECT_EQ(rep[0], out[1]);
  for (int i : {1, 2, 10, 11}) EXPECT_TRUE(std::regex_match(rep[i], epoch)) << rep[i];
  for (int i : {1, 2, 10, 11}) EXPECT_EQ(rep[i].size(), 48u);
  EXPECT_EQ(rep[3], " ");
  EXPECT_EQ(rep[4], " #Cross Validation");
  EXPECT_EQ(rep[5], " #----------------");
  EXPECT_EQ(rep[6], "            3" + out[2].substr(6));
  EXPECT_EQ(rep[7], " ");
  EXPECT_EQ(rep[8], " #After filter");
  EXPECT_EQ(rep[9], " #------------");
  EXPECT_EQ(rep[12], " ");
  EXPECT_EQ(rep[13], " #Cross Validation");
  EXPECT_EQ(rep[14], " #----------------");
  EXPECT_EQ(rep[15], "            3" + out[5].substr(6));
  EXPECT_EQ(rep[16], " ");
  EXPECT_EQ(readLines(dir.file("fort.77")).size(), 66660u);
  EXPECT_EQ(readLines(dir.file("fort.88")).size(), 66u);

  // The same run from the same seed offset and time of day repeats byte for byte, and matches
  // the kept golden output.
  ScratchDir again;
  test::copyExampleChains(again.path(), 20);
  test::writeDefaults(again.path(), 2, 20, 1, 0.25);
  test::RunResult r2 = runKelvor(again.path());
  EXPECT_EQ(r2.out, r.out);
  for (const char* f : {"kelvor.valdav", "fort.77", "fort.78", "fort.79", "fort.87", "fort.88"})
    EXPECT_EQ(readFile(again.file(f)), readFile(dir.file(f))) << f;
  const std::string golden = std::string(KELVOR_TEST_DATA) + "/golden/";
  EXPECT_EQ(test::firstDifference(readFile(golden + "train2.out"), r.out), "");
  EXPECT_EQ(test::firstDifference(readFile(golden + "train2.valdav"), readFile(dir.file("kelvor.valdav"))), "");
  EXPECT_EQ(readFile(golden + "train2.fort.79"), readFile(dir.file("fort.79")));
  EXPECT_EQ(readFile(golden + "train2.fort.88"), readFile(dir.file("fort.88")));
}

TEST_F(WholeRun, APredictionRunReproducesTheTrainingRunsScores) {
  prepare(5);
  test::RunResult train = runKelvor(dir.path());
  ASSERT_EQ(train.status, 0) << train.err;
  test::writeDefaults(dir.path(), 0, 20, 1, 0.25);
  const std::string weights = readFile(dir.file("fort.77"));
  test::RunResult predict = runKelvor(dir.path(), {}, {"KELVOR_TIME=12:34:56"});
  ASSERT_EQ(predict.status, 0) << predict.err;
  auto scores = [](const std::string& out) {
    std::vector<std::string> q;
    for (std::size_t a = out.find(" Q10P:"); a != std::string::npos; a = out.find(" Q10P:", a + 1))
      q.push_back(out.substr(a, out.find('\n', a) - a));
    return q;
  };
  ASSERT_EQ(scores(train.out).size(), 2u);
  EXPECT_EQ(scores(predict.out), scores(train.out));
  EXPECT_EQ(readFile(dir.file("fort.77")), weights);  // prediction never writes weights
  std::vector<std::string> rep = readLines(dir.file("kelvor.valdav"));
  ASSERT_EQ(rep.size(), 13u);
  EXPECT_EQ(rep[4].substr(0, 13), "            1");
  EXPECT_EQ(rep[11].substr(0, 13), "            1");
}

TEST_F(WholeRun, AReportIsReplacedByARunThatReachesTheBannerOnly) {
  prepare(1, 12, 0.1);
  test::writeFile(dir.file("kelvor.valdav"), std::string(5000, 'x') + "\n");
  // A residue-letter mismatch stops the run in the data set: the old report stays as it was.
  std::string d = readFile(dir.file("dssp_data/1cs4_B"));
  std::string broken = d;
  broken[broken.find(' ') + 1] = broken[broken.find(' ') + 1] == 'W' ? 'Y' : 'W';
  test::writeFile(dir.file("dssp_data/1cs4_B"), broken);
  test::RunResult stop = runKelvor(dir.path());
  EXPECT_EQ(stop.status, kExitData) << stop.err;
  EXPECT_NE(stop.out.find(" aa12 mismatch, aborting\n"), std::string::npos) << stop.out;
  EXPECT_EQ(stop.out.find("quandel"), std::string::npos);
  EXPECT_EQ(readFile(dir.file("kelvor.valdav")), std::string(5000, 'x') + "\n");

  test::writeFile(dir.file("dssp_data/1cs4_B"), d);
  test::RunResult ok = runKelvor(dir.path());
  ASSERT_EQ(ok.status, 0) << ok.err;
  std::vector<std::string> rep = readLines(dir.file("kelvor.valdav"));
  EXPECT_EQ(rep.size(), 15u);
  EXPECT_EQ(rep[0], " -------------------quandel-------------------");
}

}  // namespace
}  // namespace kelvor
