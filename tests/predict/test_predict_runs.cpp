// Whole runs of kelvor-predict on weights that kelvor trained from a few example chains.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "config/defaults.h"
#include "ground/errors.h"
#include "ground/freeform_writer.h"
#include "run/lock.h"
#include "tests/support/test_support.h"
#include "tools/predict/ensemble.h"
#include "tools/predict/predict_run.h"
#include "tools/predict/protein_input.h"
#include "tools/predict/weight_set.h"
#include "tools/predict/writers.h"
#include "weightio/weight_files.h"

namespace fs = std::filesystem;

namespace kelvor::predict {
namespace {

using test::readFile;
using test::readLines;
using test::ScratchDir;
using test::writeFile;

using ToolResult = test::RunResult;

ToolResult runTool(const fs::path& dir, const std::vector<std::string>& args) {
  return test::runProgram(KELVOR_PREDICT_BINARY, dir, args, {}, false);
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The "Q10P:" values of a kelvor run's standard output, as printed.
std::vector<std::string> q10p(const std::string& out) {
  std::vector<std::string> v;
  std::regex re(R"( Q10P:(.*))");
  for (std::sregex_iterator it(out.begin(), out.end(), re), end; it != end; ++it) v.push_back((*it)[1]);
  return v;
}

// Residues and correct residues of a stage in scores.json.
std::pair<long long, long long> stageCounts(const std::string& json, const std::string& stage) {
  std::smatch m;
  const std::regex re("\"" + stage + "\": \\{\"residues\": ([0-9]+), \"correct\": ([0-9]+)");
  if (!std::regex_search(json, m, re)) return {-1, -1};
  return {std::stoll(m[1]), std::stoll(m[2])};
}

void writeList(const fs::path& path, const std::vector<std::string>& names) {
  std::string s;
  for (const auto& n : names) s += n + "\n";
  writeFile(path.string(), s);
}

void copyDataRoot(const fs::path& from, const fs::path& to) {
  for (const char* sub : {"dssp_data", "new_prf", "kvqout"})
    fs::copy(from / sub, to / sub, fs::copy_options::recursive);
}

// A one-epoch training run on 13 example chains: fold 1 with test fraction 0.25 puts 3 chains
// in the test part and 1 in the validation part, so the epoch's weights are saved.
class TrainedRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new ScratchDir;
    names_ = test::copyExampleChains(dir_->path(), 13);
    test::writeDefaults(dir_->path(), 1, 13, 1, 0.25);
    const test::RunResult r = test::runKelvor(dir_->path());
    ASSERT_EQ(r.status, 0) << r.err;
    scores_ = q10p(r.out);
    ASSERT_EQ(scores_.size(), 2u) << r.out;

    test::InDirectory in(dir_->path());
    DataStore store;
    Network net;
    getdefs(store, net);
    for (int i = store.ntrval + 1; i <= store.nprot; ++i) {
      const std::string& n = store.pname[i - 1];
      testNames_.push_back(n.substr(0, n.find_last_not_of(' ') + 1));
    }
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
    names_.clear();
    testNames_.clear();
  }
  static const fs::path& dir() { return dir_->path(); }

  static ScratchDir* dir_;
  static std::vector<std::string> names_, testNames_;
  static std::vector<std::string> scores_;  // the run's two "Q10P:" values
};

ScratchDir* TrainedRun::dir_ = nullptr;
std::vector<std::string> TrainedRun::names_, TrainedRun::testNames_, TrainedRun::scores_;

TEST_F(TrainedRun, ScoresEqualTheTrainersTestPartScores) {
  ASSERT_EQ(testNames_.size(), 3u);
  writeList(dir() / "test.list", testNames_);
  const ToolResult r = runTool(dir(), {"-l", "test.list", "--scores", "-o", "out"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");

  // One vertical and one horizontal file per chain, and the two reports.
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(dir() / "out")) files.push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  std::vector<std::string> expected{"scores.json", "scores.txt"};
  for (const auto& n : testNames_) {
    expected.push_back(n + ".horizontal");
    expected.push_back(n + ".vertical");
    const std::size_t residues = readLines((dir() / "dssp_data" / n).string()).size();
    EXPECT_EQ(readLines((dir() / "out" / (n + ".vertical")).string()).size(), 4 + residues) << n;
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(files, expected);

  const std::string json = readFile((dir() / "out" / "scores.json").string());
  const auto first = stageCounts(json, "first_stage"), filter = stageCounts(json, "filter");
  ASSERT_GT(first.first, 0) << json;
  EXPECT_EQ(formatReal(static_cast<double>(first.second) / first.first), scores_[0]);
  EXPECT_EQ(formatReal(static_cast<double>(filter.second) / filter.first), scores_[1]);
  if (std::system("python3 -c '' >/dev/null 2>&1") == 0) {
    const std::string check =
        "python3 -c 'import json,sys; json.load(open(sys.argv[1]))' " + (dir() / "out" / "scores.json").string();
    EXPECT_EQ(std::system(check.c_str()), 0) << json;
  }
}

TEST_F(TrainedRun, WholeListEqualsAPredictionRunOverTheWholeList) {
  // Prediction mode, every chain in the test part.
  ScratchDir run;
  for (const char* f : {"fort.77", "fort.78", "fort.79", "fort.87", "fort.88"})
    fs::copy_file(dir() / f, run.path() / f);
  copyDataRoot(dir(), run.path());
  fs::copy_file(dir() / "proteins.list", run.path() / "proteins.list");
  test::writeDefaults(run.path(), 0, 13, 1, 1.0);
  const test::RunResult k = test::runKelvor(run.path());
  ASSERT_EQ(k.status, 0) << k.err;
  const std::vector<std::string> all = q10p(k.out);
  ASSERT_EQ(all.size(), 2u);

  const ToolResult r = runTool(run.path(), {"--scores"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string json = readFile((run.path() / "predictions" / "scores.json").string());
  const auto first = stageCounts(json, "first_stage"), filter = stageCounts(json, "filter");
  long long residues = 0;
  for (const auto& n : names_) residues += static_cast<long long>(readLines((dir() / "dssp_data" / n).string()).size());
  EXPECT_EQ(first.first, residues);
  EXPECT_EQ(formatReal(static_cast<double>(first.second) / first.first), all[0]);
  EXPECT_EQ(formatReal(static_cast<double>(filter.second) / filter.first), all[1]);
}

TEST_F(TrainedRun, ReadsWeightFilesFromADirectoryAsFromTheWorkingDirectory) {
  Network mine, trainers;
  readwei(mine, 0, dir().string());
  readweif(mine, 0, dir().string());
  {
    test::InDirectory in(dir());
    readwei(trainers, 0);
    readweif(trainers, 0);
  }
  EXPECT_EQ(mine.wei1, trainers.wei1);
  EXPECT_EQ(mine.wei2, trainers.wei2);
  EXPECT_EQ(mine.pwei, trainers.pwei);
  EXPECT_EQ(mine.fwei1, trainers.fwei1);
  EXPECT_EQ(mine.fwei2, trainers.fwei2);

  // A short file is refused with its name.
  const fs::path cut = dir() / "cut";
  fs::create_directory(cut);
  for (const char* f : {"fort.77", "fort.78", "fort.79", "fort.87", "fort.88", "kelvor.in"})
    fs::copy_file(dir() / f, cut / f);
  std::vector<std::string> lines = readLines((cut / "fort.87").string());
  lines.resize(100);
  writeList(cut / "fort.87", lines);
  WeightSet set;
  try {
    loadWeightSet(set, cut.string());
    ADD_FAILURE() << "a short fort.87 was accepted";
  } catch (const FileError& e) {
    EXPECT_EQ(e.file(), (cut / "fort.87").string());
  }
  const ToolResult r = runTool(dir(), {"-w", "cut", "-o", "cutout"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(contains(r.err, "cut/fort.87")) << r.err;
}

TEST_F(TrainedRun, AveragesTwoWeightSetsOutputByOutput) {
  // A second weight set: the first with some weights changed, written by the trainer's writers.
  const fs::path other = dir() / "other";
  fs::create_directory(other);
  fs::copy_file(dir() / "kelvor.in", other / "kelvor.in");
  {
    WeightSet a;
    loadWeightSet(a, dir().string());
    for (std::size_t i = 0; i < a.net.wei1.size(); i += 3) a.net.wei1[i] = -a.net.wei1[i];
    for (double& w : a.net.pwei) w *= 1.5;
    for (std::size_t i = 0; i < a.net.fwei1.size(); i += 2) a.net.fwei1[i] = 0.5 - a.net.fwei1[i];
    test::InDirectory in(other);
    outwei(a.net, 0);
    outweif(a.net, 0);
  }

  auto predict = [&](const std::vector<std::string>& dirs, DataStore& store) {
    std::vector<WeightSet> sets(dirs.size());
    for (std::size_t i = 0; i < dirs.size(); ++i) loadWeightSet(sets[i], dirs[i]);
    return predictAll(sets, store);
  };
  DataStore store;
  prepareChainStore(store);
  ChainReader reader(dir().string());
  std::vector<Chain> chains;
  for (int i = 0; i < 3; ++i) chains.push_back(reader.read(store, names_[i]));

  const Outputs a = predict({dir().string()}, store);
  const Outputs b = predict({other.string()}, store);
  const Outputs both = predict({dir().string(), other.string()}, store);
  ASSERT_EQ(both.first.size(), static_cast<std::size_t>(store.nta) * 3);
  double firstGap = 0.0, filterGap = 0.0;
  for (std::size_t i = 0; i < both.first.size(); ++i) {
    ASSERT_EQ(both.first[i], (a.first[i] + b.first[i]) / 2.0) << i;
    ASSERT_EQ(both.filter[i], (a.filter[i] + b.filter[i]) / 2.0) << i;
    firstGap = std::max(firstGap, std::fabs(a.first[i] - b.first[i]));
    filterGap = std::max(filterGap, std::fabs(a.filter[i] - b.filter[i]));
  }
  EXPECT_GT(firstGap, 0.01);  // the two sets really differ
  EXPECT_GT(filterGap, 0.01);

  // The program writes exactly these averaged outputs and the classes they decide.
  writeList(dir() / "three.list", {names_[0], names_[1], names_[2]});
  const ToolResult r = runTool(dir(), {"-w", ".", "-w", "other", "-l", "three.list", "-o", "avg"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const Chain& c : chains) {
    ChainPrediction p;
    p.chain = &c;
    p.weightSets = 2;
    p.filter = both.filter.data() + static_cast<std::size_t>(c.first - 1) * 3;
    for (int i = 0; i < c.length; ++i) p.classes.push_back(decide(p.filter + 3 * i));
    EXPECT_EQ(readFile((dir() / "avg" / (c.name + ".vertical")).string()), verticalText(p)) << c.name;
    EXPECT_EQ(readFile((dir() / "avg" / (c.name + ".horizontal")).string()), horizontalText(p)) << c.name;
  }
}

TEST_F(TrainedRun, PredictsChainsWithoutDsspData) {
  const fs::path root = dir() / "partly";
  fs::create_directory(root);
  copyDataRoot(dir(), root);
  fs::remove(root / "dssp_data" / names_[1]);
  fs::remove(root / "dssp_data" / names_[4]);
  // Without labels the prediction file decides where the chain ends.
  std::vector<std::string> kvq = readLines((root / "kvqout" / (names_[4] + ".kvqout")).string());
  const std::size_t residues4 = kvq.size() - 1 - 5;
  kvq.resize(kvq.size() - 5);
  writeList(root / "kvqout" / (names_[4] + ".kvqout"), kvq);

  ToolResult full = runTool(dir(), {"-o", "full"});
  ASSERT_EQ(full.status, 0) << full.err;
  ToolResult part = runTool(dir(), {"-d", "partly", "--scores", "-o", "part"});
  ASSERT_EQ(part.status, 0) << part.err;
  EXPECT_EQ(part.err, "");
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const std::string v = names_[i] + ".vertical";
    if (i == 4) {
      EXPECT_EQ(readLines((dir() / "part" / v).string()).size(), 4 + residues4);
      continue;
    }
    // Features do not depend on labels: the predictions are the same.
    EXPECT_EQ(readFile((dir() / "part" / v).string()), readFile((dir() / "full" / v).string())) << v;
  }
  const std::string json = readFile((dir() / "part" / "scores.json").string());
  EXPECT_TRUE(contains(json, "\"chains\": 13, \"chains_scored\": 11, \"chains_unlabelled\": 2")) << json;
  EXPECT_FALSE(contains(json, "\"name\": \"" + names_[1] + "\""));

  // No labels at all: predictions, but no report.
  fs::remove_all(root / "dssp_data");
  part = runTool(dir(), {"-d", "partly/", "--scores", "-o", "none"});
  ASSERT_EQ(part.status, 0) << part.err;
  EXPECT_TRUE(contains(part.err, "no chain has a DSSP-data file")) << part.err;
  EXPECT_TRUE(fs::exists(dir() / "none" / (names_[0] + ".horizontal")));
  EXPECT_FALSE(fs::exists(dir() / "none" / "scores.txt"));
}

TEST_F(TrainedRun, BadInputNamesTheFileAndLine) {
  const fs::path root = dir() / "bad";
  fs::create_directory(root);
  copyDataRoot(dir(), root);
  const std::string name = names_[0];
  writeList(dir() / "one.list", {name});

  // Residue 5 of the prediction file (line 6) gets another letter.
  const fs::path kvq = root / "kvqout" / (name + ".kvqout");
  std::vector<std::string> lines = readLines(kvq.string());
  const std::size_t at = lines[5].find(' ');
  lines[5][at + 1] = lines[5][at + 1] == 'W' ? 'Y' : 'W';
  writeList(kvq, lines);
  ToolResult r = runTool(dir(), {"-d", "bad", "-l", "one.list", "-o", "badout"});
  EXPECT_EQ(r.status, 3);
  EXPECT_TRUE(contains(r.err, "kvqout/" + name + ".kvqout\", line 6")) << r.err;
  // The same check holds for a chain without a DSSP-data file.
  const fs::path dssp = root / "dssp_data" / name;
  const std::vector<std::string> dsspLines = readLines(dssp.string());
  fs::remove(dssp);
  r = runTool(dir(), {"-d", "bad", "-l", "one.list", "-o", "badout"});
  EXPECT_EQ(r.status, 3);
  EXPECT_TRUE(contains(r.err, "kvqout/" + name + ".kvqout\", line 6")) << r.err;

  // An unknown structure letter on line 3 of the DSSP-data file.
  fs::copy_file(dir() / "kvqout" / (name + ".kvqout"), kvq, fs::copy_options::overwrite_existing);
  lines = dsspLines;
  lines[2].back() = 'G';
  writeList(dssp, lines);
  r = runTool(dir(), {"-d", "bad", "-l", "one.list", "-o", "badout"});
  EXPECT_EQ(r.status, 3);
  EXPECT_TRUE(contains(r.err, "dssp_data/" + name + "\", line 3")) << r.err;

  // A list line past the 120 characters of a name: refused as kelvor refuses it, never cut.
  writeList(dir() / "long.list", {name, std::string(121, 'n')});
  r = runTool(dir(), {"-d", "bad", "-l", "long.list", "-o", "badout"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(contains(r.err, "long.list\", line 2: name of 121 characters; allowed: at most 120, a name is never cut"))
      << r.err;

  // A missing profile file.
  fs::remove(root / "new_prf" / (name + ".mat"));
  r = runTool(dir(), {"-d", "bad", "-l", "one.list", "-o", "badout"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(contains(r.err, "new_prf/" + name + ".mat")) << r.err;
}

// kelvor-predict refuses what kelvor refuses, writes only inside its output directory, never over
// one of its inputs, and waits for no training run in the weight set's directory.
TEST_F(TrainedRun, RefusesWhatTheTrainerRefusesAndWritesOnlyItsOwnFiles) {
  const std::string name = names_[0];
  struct Row {
    std::string why;
    std::function<void()> spoil;
    std::vector<std::string> args;
    int status;
    std::vector<std::string> err;
  };
  const fs::path set = dir() / "set";
  fs::create_directory(set);
  for (const char* f : {"fort.77", "fort.78", "fort.79", "fort.87", "fort.88", "kelvor.in"})
    fs::copy_file(dir() / f, set / f);
  const std::vector<Row> rows = {
      {"chain name leaving the output directory",
       [&] { writeList(dir() / "up.list", {"../" + name}); },
       {"-l", "up.list", "-o", "o1"},
       2,
       {"up.list", "line 1", "\"/\" or \"..\""}},
      {"gain not finite", [] {}, {"-w", "set", "--gain", "nan", "-o", "o2"}, 1, {}},
      {"weight not finite",
       [&] { test::writeFile((set / "fort.88").string(), " inf\n" + readFile((dir() / "fort.88").string())); },
       {"-w", "set", "-o", "o3"},
       2,
       {"set/fort.88", "line 1", "not a finite number"}},
      {"output linked to the list",
       [&] {
         writeList(dir() / "one.list", {name});
         fs::create_directories(dir() / "o4");
         fs::create_symlink(fs::absolute(dir() / "one.list"), dir() / "o4" / (name + ".vertical"));
       },
       {"-l", "one.list", "-o", "o4"},
       2,
       {name + ".vertical", "one.list", "through a link"}},
  };
  for (const Row& row : rows) {
    row.spoil();
    const ToolResult r = runTool(dir(), row.args);
    EXPECT_EQ(r.status, row.status) << row.why << "\n" << r.err;
    for (const auto& e : row.err) EXPECT_TRUE(contains(r.err, e)) << row.why << ": [" << e << "]\n" << r.err;
  }
  EXPECT_FALSE(fs::exists(dir().parent_path() / (name + ".vertical")));
  EXPECT_EQ(readLines((dir() / "one.list").string()), std::vector<std::string>{name});

  // A training run holding the set's lock: the set is not read under it.
  fs::copy_file(dir() / "fort.88", set / "fort.88", fs::copy_options::overwrite_existing);
  {
    DirectoryLock held(set.string());
    const ToolResult r = runTool(dir(), {"-w", "set", "-o", "o5"});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(contains(r.err, "another run")) << r.err;
  }
  EXPECT_EQ(runTool(dir(), {"-w", "set", "-o", "o5"}).status, 0);
}

TEST_F(TrainedRun, BatchesOfAnySizeWriteTheSameFiles) {
  test::InDirectory in(dir());
  Options whole, single;
  whole.outputDir = "whole";
  single.outputDir = "single";
  whole.scores = single.scores = true;
  single.batchResidues = 1;  // every chain in a batch of its own
  ASSERT_EQ(runPredict(whole), 0);
  ASSERT_EQ(runPredict(single), 0);
  int files = 0;
  for (const auto& e : fs::directory_iterator("whole")) {
    const fs::path other = fs::path("single") / e.path().filename();
    EXPECT_EQ(readFile(e.path().string()), readFile(other.string())) << other;
    ++files;
  }
  EXPECT_EQ(files, 2 * 13 + 2);
}

TEST(CommandLine, HelpVersionAndUsageErrors) {
  ScratchDir d;
  ToolResult r = runTool(d.path(), {"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  for (const char* opt :
       {"--weights", "--list", "--data-root", "--output", "--scores", "--gain", "--dcay", "--help", "--version"})
    EXPECT_TRUE(contains(r.out, opt)) << opt;
  EXPECT_GE(std::count(r.out.begin(), r.out.end(), '(') - 2, 7) << "every option with its default";
  EXPECT_EQ(runTool(d.path(), {"-h"}).out, r.out);

  r = runTool(d.path(), {"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "kelvor-predict " + toolVersion() + "\n");

  struct Bad {
    std::vector<std::string> args;
    const char* says;
  };
  const Bad bad[] = {{{"--bogus"}, "unknown option --bogus"},
                     {{"stray"}, "unexpected argument \"stray\""},
                     {{"--gain", "fast"}, "--gain needs a number"},
                     {{"--list"}, "--list needs a value"},
                     {{"--scores=yes"}, "--scores takes no value"},
                     {{"-w", "nowhere"}, "weight set \"nowhere\" is not a directory"},
                     {{}, "no kelvor.in"}};
  writeFile(d.file("proteins.list"), "x\n");
  for (const Bad& b : bad) {
    r = runTool(d.path(), b.args);
    EXPECT_EQ(r.status, 1) << b.says;
    EXPECT_TRUE(contains(r.err, b.says)) << r.err;
    EXPECT_EQ(r.out, "");
  }
  r = runTool(d.path(), {"--list=missing.list"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(contains(r.err, "missing.list")) << r.err;
}

}  // namespace
}  // namespace kelvor::predict
