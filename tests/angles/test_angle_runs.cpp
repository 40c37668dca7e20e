// Whole runs of kelvor-angles on a few example chains: training beside kelvor's files, the same
// bytes on either kernel set, prediction from profiles alone, out-of-fold predictions that come
// only from models that never trained on the chain, and refusals of bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "config/defaults.h"
#include "config/protein_list.h"
#include "dataset/setio.h"
#include "network/netinit.h"
#include "tests/support/test_support.h"
#include "tools/angles/angle_data.h"
#include "tools/angles/profile_chain.h"
#include "weightio/weight_files.h"

namespace fs = std::filesystem;

namespace kelvor::angles {
namespace {

using test::readFile;
using test::ScratchDir;
using test::writeFile;

using ToolResult = test::RunResult;

// Runs kelvor-angles in `dir`; a run that blocks (on a FIFO, say) is ended after two minutes.
ToolResult runAngles(const fs::path& dir, const std::vector<std::string>& args,
                     const std::vector<std::string>& env = {"KELVOR_TIME=00:00:00"}) {
  return test::runProgram(KELVOR_ANGLES_BINARY, dir, args, env, false, 120);
}

// Starts kelvor-angles in `dir` with its output going to dir/out and dir/err; returns its pid.
pid_t startAngles(const fs::path& dir, const std::vector<std::string>& env) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
    if (!std::freopen("out", "w", stdout) || !std::freopen("err", "w", stderr)) ::_exit(127);
    ::execl(KELVOR_ANGLES_BINARY, KELVOR_ANGLES_BINARY, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

std::string describe(const ToolResult& r) {
  return "status " + std::to_string(r.status) + "\nout:\n" + r.out + "\nerr:\n" + r.err;
}

// A weight set of freshly drawn weights and its kelvor.in.
void makeWeightSet(const fs::path& dir, int seed) {
  fs::create_directories(dir);
  Network net;
  drawWeights(net, seed);
  writeFirstStageAs(net, (dir / "angles.").string());
  test::writeDefaults(dir, 1, 10, 1, 0.1);
}

long lineCount(const std::string& text) { return static_cast<long>(std::count(text.begin(), text.end(), '\n')); }

// A run directory holding the first `chains` example chains and a kelvor.in for all of them
// (fold 1 with the test fraction given).
void makeRunDir(const fs::path& dir, int chains, int epochs, double testFraction) {
  test::copyExampleChains(dir, chains);
  test::writeDefaults(dir, epochs, chains, 1, testFraction);
}

TEST(AngleRuns, TrainingWritesItsOwnFilesOnlyAndTheSameBytesOnEitherKernelSet) {
  std::string valdav[2], weights[2];
  const char* kernels[2] = {"KELVOR_KERNEL=reference", "KELVOR_KERNEL=fast"};
  for (int i = 0; i < 2; ++i) {
    ScratchDir dir;
    makeRunDir(dir.path(), 15, 2, 0.2);
    for (const char* f : {"fort.77", "fort.78", "fort.79", "kelvor.valdav"}) writeFile(dir.file(f), "kelvor's own\n");
    const ToolResult r = runAngles(dir.path(), {}, {"KELVOR_TIME=00:00:00", kernels[i]});
    ASSERT_EQ(r.status, 0) << describe(r);
    for (const char* f : {"fort.77", "fort.78", "fort.79", "kelvor.valdav"})
      EXPECT_EQ(readFile(dir.file(f)), "kelvor's own\n") << f;
    EXPECT_NE(r.out.find("angles test part: first angle MAE "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("per-letter mean"), std::string::npos);
    valdav[i] = readFile(dir.file("angles.valdav"));
    weights[i] = readFile(dir.file("angles.77")) + readFile(dir.file("angles.78")) + readFile(dir.file("angles.79"));
    EXPECT_EQ(lineCount(readFile(dir.file("angles.77"))), 66660);
    EXPECT_EQ(valdav[i].substr(0, 6), "     1");
  }
  EXPECT_EQ(test::firstDifference(valdav[0], valdav[1]), "");
  EXPECT_TRUE(weights[0] == weights[1]);
}

// The dssp_data/ and kvqout/ files of the chains are FIFOs: opening one would block the run.
TEST(AngleRuns, PredictionReadsTheProfilesAloneAndNeverOpensADsspOrPredictionFile) {
  ScratchDir dir;
  const std::vector<std::string> names = test::copyExampleChains(dir.path(), 3);
  for (const std::string& n : names)
    for (const fs::path& f : {dir.path() / "dssp_data" / n, dir.path() / "kvqout" / (n + ".kvqout")}) {
      fs::remove(f);
      ASSERT_EQ(::mkfifo(f.c_str(), 0644), 0);
    }
  makeWeightSet(dir.path() / "set-a", 11);
  makeWeightSet(dir.path() / "set-b", 12);
  const ToolResult r = runAngles(dir.path(), {"--predict", "-w", "set-a", "-w", "set-b", "-d", ".", "-o", "out"});
  ASSERT_EQ(r.status, 0) << describe(r);
  for (const std::string& n : names) {
    const std::string text = readFile(dir.file("out/kvqout/" + n + ".kvqout"));
    ASSERT_FALSE(text.empty()) << n;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);  // header
    int index = 0;
    while (std::getline(lines, line)) {
      std::istringstream f(line);
      int i = 0;
      char aa = 0;
      std::string cls;
      double v[8];
      f >> i >> aa >> cls;
      for (double& x : v) f >> x;
      ASSERT_TRUE(f) << line;
      EXPECT_EQ(i, ++index);
      EXPECT_EQ(cls, "-");
      for (int k = 2; k <= 6; ++k) EXPECT_EQ(v[k], 0.0);
      for (double x : v) EXPECT_TRUE(std::isfinite(x));
    }
    EXPECT_GT(index, 20);
  }
}

// The profile reader gives a chain the inputs and windows the trainer's data set gives it.
TEST(AngleRuns, AChainReadFromItsProfileHasTheTrainingInputs) {
  ScratchDir dir;
  const std::vector<std::string> names = test::copyExampleChains(dir.path(), 2);
  DataStore trained;
  trained.nprot = trained.ntrain = trained.ntrval = 2;
  trained.pname = {names[0], names[1]};
  setio(trained, dir.path().string() + "/");
  makeAngleTargets(trained);
  DataStore fromProfile;
  ProfileReader reader(dir.path().string());
  for (const std::string& n : names) reader.read(fromProfile, n);
  ASSERT_EQ(fromProfile.nta, trained.nta);
  for (int r = 1; r <= trained.nta; ++r) {
    for (int c = 1; c <= 30; ++c) ASSERT_EQ(fromProfile.fin(r, c), trained.fin(r, c)) << r << " " << c;
    ASSERT_EQ(fromProfile.winlo[r - 1], trained.winlo[r - 1]);
    ASSERT_EQ(fromProfile.winhi[r - 1], trained.winhi[r - 1]);
  }
}

// Which chains each fold trained on, from its own kelvor.in, by the trainer's order.
std::vector<bool> trainedOn(const fs::path& foldDir, int n) {
  const Settings s = readSettings((foldDir / "kelvor.in").string());
  const PartSizes p = partSizes(n, s.testFraction);
  std::vector<int> order(n, 0);
  plst(p.nprot, p.ntrval, p.test, s.fold, s.testFraction, order);
  std::vector<bool> trained(n, false);
  for (int pos = 1; pos <= p.ntrain; ++pos) trained[order[pos - 1] - 1] = true;
  return trained;
}

TEST(AngleRuns, OutOfFoldPredictionsComeOnlyFromModelsThatNeverTrainedOnTheChain) {
  ScratchDir dir;
  const int n = 17;  // 3 folds: blocks 1-6, 6-11, 12-17, so line 6 is predicted by two models
  // One chain more in the list than the run takes: in no fold's data set, predicted by all.
  const std::vector<std::string> names = test::copyExampleChains(dir.path(), n + 1);
  test::writeDefaults(dir.path(), 1, n, 1, 0.1);
  const ToolResult r = runAngles(dir.path(), {"--out-of-fold", "3", "-o", "oof"});
  ASSERT_EQ(r.status, 0) << describe(r);
  EXPECT_NE(r.out.find("angles out-of-fold, mean +- sd over 3 folds"), std::string::npos) << r.out;

  std::istringstream table(readFile(dir.file("oof/folds.tsv")));
  std::string line;
  std::getline(table, line);
  int rows = 0;
  while (std::getline(table, line)) {
    std::istringstream f(line);
    std::string field[4];
    for (std::string& x : field) std::getline(f, x, '\t');
    const int j = std::stoi(field[0]);
    const std::string chain = field[1], folds = field[3];
    ASSERT_EQ(chain, names[j - 1]);
    ++rows;
    std::vector<std::string> args{
        "--predict", "-d", ".", "-o", "again-" + std::to_string(j), "-l", "one-" + std::to_string(j)};
    std::stringstream ks(folds);
    for (std::string k; std::getline(ks, k, ',');) {
      const fs::path foldDir = dir.path() / "oof" / ("fold-" + k);
      EXPECT_EQ(readSettings((foldDir / "kelvor.in").string()).fold, std::stoi(k));
      if (j <= n) {
        EXPECT_FALSE(trainedOn(foldDir, n)[j - 1]) << chain << " predicted by fold " << k << ", which trained on it";
      }
      args.insert(args.end(), {"-w", foldDir.string()});
    }
    // The file is exactly what those models predict, averaged.
    writeFile(dir.file("one-" + std::to_string(j)), chain + "\n");
    const ToolResult again = runAngles(dir.path(), args);
    ASSERT_EQ(again.status, 0) << describe(again);
    EXPECT_EQ(readFile(dir.file("again-" + std::to_string(j) + "/kvqout/" + chain + ".kvqout")),
              readFile(dir.file("oof/kvqout/" + chain + ".kvqout")))
        << chain;
  }
  EXPECT_EQ(rows, n + 1);
  EXPECT_NE(readFile(dir.file("oof/folds.tsv")).find("\t1,2\n"), std::string::npos);
  EXPECT_NE(readFile(dir.file("oof/folds.tsv")).find("outside the run\t1,2,3\n"), std::string::npos);
  // The trainer reads the predictions in place of the observed values.
  for (const std::string& chain : names)
    fs::copy_file(dir.path() / "oof/kvqout" / (chain + ".kvqout"), dir.path() / "kvqout" / (chain + ".kvqout"),
                  fs::copy_options::overwrite_existing);
  test::writeDefaults(dir.path(), 1, n, 1, 0.1);
  const test::RunResult k = test::runKelvor(dir.path());
  EXPECT_EQ(k.status, 0) << k.out << k.err;
}

// A run killed after a checkpoint and resumed writes the bytes of a run never interrupted.
TEST(AngleRuns, AResumedRunWritesWhatAnUninterruptedRunWrites) {
  const std::vector<std::string> env{"KELVOR_TIME=00:00:00", "KELVOR_CHECKPOINT_SECONDS=0"};
  ScratchDir ref, cut;
  for (const ScratchDir* d : {&ref, &cut}) makeRunDir(d->path(), 15, 6, 0.2);
  const ToolResult whole = runAngles(ref.path(), {}, env);
  ASSERT_EQ(whole.status, 0) << describe(whole);
  EXPECT_FALSE(fs::exists(ref.path() / "angles.checkpoint"));

  const pid_t pid = startAngles(cut.path(), env);
  bool killed = false;
  for (int i = 0; i < 20000 && !killed; ++i) {
    if (fs::exists(cut.path() / "angles.checkpoint"))
      killed = ::kill(pid, SIGKILL) == 0;
    else
      ::usleep(1000);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(killed && WIFSIGNALED(status)) << "the run ended before a checkpoint was seen";
  const ToolResult resumed = runAngles(cut.path(), {"--resume"}, env);
  ASSERT_EQ(resumed.status, 0) << describe(resumed);
  EXPECT_NE(resumed.err.find("resuming the training after epoch"), std::string::npos) << resumed.err;
  EXPECT_EQ(test::firstDifference(whole.out, resumed.out), "");
  for (const char* f : {"angles.valdav", "angles.77", "angles.78", "angles.79"})
    EXPECT_TRUE(readFile(ref.file(f)) == readFile(cut.file(f))) << f;
  EXPECT_FALSE(fs::exists(cut.path() / "angles.checkpoint"));

  // A completed run leaves nothing to resume.
  ToolResult r = runAngles(cut.path(), {"--resume"}, env);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot resume"), std::string::npos) << r.err;
}

// Killed just before any of its file replacements (a checkpoint or a weight save, or one rename
// of a set), a run resumes to the bytes of a run never interrupted: the checkpoint written before
// each weight save knows what the save leaves, and a resume makes a cut-off save again.
TEST(AngleRuns, AKillAtAnyReplacementResumesToTheSameBytes) {
  const std::vector<std::string> env{"KELVOR_TIME=00:00:00", "KELVOR_CHECKPOINT_SECONDS=0"};
  ScratchDir ref;
  makeRunDir(ref.path(), 12, 4, 0.2);
  std::vector<std::string> tallyEnv = env;
  tallyEnv.push_back("KELVOR_TEST_KILL_AT=tally");
  const ToolResult whole = runAngles(ref.path(), {}, tallyEnv);
  ASSERT_EQ(whole.status, 0) << describe(whole);
  auto count = [&](const std::string& event) {
    const std::size_t at = whole.err.find(" " + event + " ");
    return at == std::string::npos ? 0 : std::stoi(whole.err.substr(at + event.size() + 2));
  };
  const int saves = count("save"), renames = count("rename");
  ASSERT_GE(saves, 3) << whole.err;
  // The first replacement is the first checkpoint: killed before it, there is nothing to resume.
  std::vector<std::string> points;
  for (int n = 2; n <= saves; ++n) points.push_back("save:" + std::to_string(n));
  for (int n = 2; n <= renames; ++n) points.push_back("rename:" + std::to_string(n));
  for (const std::string& at : points) {
    ScratchDir cut;
    makeRunDir(cut.path(), 12, 4, 0.2);
    std::vector<std::string> killEnv = env;
    killEnv.push_back("KELVOR_TEST_KILL_AT=" + at);
    const ToolResult killed = runAngles(cut.path(), {}, killEnv);
    ASSERT_NE(killed.status, 0) << at << ": " << describe(killed);
    const ToolResult resumed = runAngles(cut.path(), {"--resume"}, env);
    ASSERT_EQ(resumed.status, 0) << at << ": " << describe(resumed);
    EXPECT_EQ(test::firstDifference(whole.out, resumed.out), "") << at;
    for (const char* f : {"angles.valdav", "angles.77", "angles.78", "angles.79"})
      EXPECT_TRUE(readFile(ref.file(f)) == readFile(cut.file(f))) << at << ": " << f;
    EXPECT_FALSE(fs::exists(cut.path() / "angles.checkpoint")) << at;
  }
}

// The weight files are part of a run's state: one changed or removed since the checkpoint
// refuses the resume, and nothing is changed.
TEST(AngleRuns, AResumeRefusesWeightFilesChangedSinceTheCheckpoint) {
  const std::vector<std::string> env{"KELVOR_TIME=00:00:00", "KELVOR_CHECKPOINT_SECONDS=0"};
  for (const bool remove : {false, true}) {
    ScratchDir dir;
    makeRunDir(dir.path(), 12, 4, 0.2);
    std::vector<std::string> killEnv = env;
    killEnv.push_back("KELVOR_TEST_KILL_AT=save:4");  // after epoch 1's checkpoint and save
    ASSERT_NE(runAngles(dir.path(), {}, killEnv).status, 0);
    ASSERT_TRUE(fs::exists(dir.path() / "angles.checkpoint"));
    if (remove)
      fs::remove(dir.path() / "angles.78");
    else
      writeFile(dir.path() / "angles.78", readFile(dir.file("angles.78")) + " 0.5\n");
    const std::string checkpoint = readFile(dir.file("angles.checkpoint"));
    const ToolResult r = runAngles(dir.path(), {"--resume"}, env);
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_NE(r.err.find("cannot resume"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("angles.78"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(remove ? "removed" : "changed"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(dir.file("angles.checkpoint")), checkpoint);
  }
}

// A weight file that could not be replaced refuses the run before its report is opened: the
// earlier report and weights are left as they were.
TEST(AngleRuns, AnOutputThatCannotBeWrittenIsRefusedBeforeTheReportIsTouched) {
  ScratchDir dir;
  makeRunDir(dir.path(), 15, 1, 0.2);
  writeFile(dir.file("angles.valdav"), "an earlier report\n");
  for (const char* blocked : {"angles.78", "angles.79.part"}) {
    fs::create_directories(dir.path() / blocked / "inside");
    const ToolResult r = runAngles(dir.path(), {});
    EXPECT_NE(r.status, 0) << describe(r);
    EXPECT_NE(r.err.find("angles.7"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "") << "refused before the network is drawn";
    EXPECT_EQ(readFile(dir.file("angles.valdav")), "an earlier report\n");
    EXPECT_FALSE(fs::exists(dir.path() / "angles.77"));
    fs::remove_all(dir.path() / blocked);
  }
}

// The protein list's names are checked as the trainer checks them: one past 120 characters is
// refused (never cut to another name), before anything is written.
TEST(AngleRuns, AListNamePast120CharactersIsRefusedBeforeAnythingIsWritten) {
  ScratchDir dir;
  makeRunDir(dir.path(), 15, 1, 0.2);
  writeFile(dir.file("angles.valdav"), "an earlier report\n");
  std::string list = readFile(dir.file("proteins.list"));
  list.insert(list.find('\n') + 1, std::string(121, 'q') + "\n");
  writeFile(dir.file("proteins.list"), list);
  const ToolResult r = runAngles(dir.path(), {});
  EXPECT_NE(r.status, 0) << describe(r);
  EXPECT_NE(r.err.find("\"proteins.list\", line 2: name of 121 characters"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(readFile(dir.file("angles.valdav")), "an earlier report\n");
}

// The checkpoint is read as every input is: something other than a regular file under its name
// is refused at once (a FIFO is never waited on), and so is a damaged one, changing nothing.
TEST(AngleRuns, AResumeRefusesACheckpointThatIsNoSoundRegularFile) {
  ScratchDir dir;
  makeRunDir(dir.path(), 15, 1, 0.2);
  writeFile(dir.file("angles.valdav"), "an earlier report\n");
  const fs::path cp = dir.path() / "angles.checkpoint";
  for (int kind = 0; kind < 3; ++kind) {
    if (kind == 0) {
      ASSERT_EQ(::mkfifo(cp.c_str(), 0600), 0);
    }
    if (kind == 1) fs::create_directories(cp);
    if (kind == 2) writeFile(cp.string(), "KELVORCP but cut short");
    const ToolResult r = runAngles(dir.path(), {"--resume"});
    EXPECT_EQ(r.status, 1) << kind << describe(r);
    EXPECT_NE(r.err.find("cannot resume"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("angles.checkpoint"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(readFile(dir.file("angles.valdav")), "an earlier report\n");
    fs::remove_all(cp);
  }
}

TEST(AngleRuns, BadInputsAreRefusedWithMessagesThatNameTheCause) {
  ScratchDir dir;
  fs::create_directories(dir.path() / "no-defaults");
  makeWeightSet(dir.path() / "no-weights", 5);
  fs::remove(dir.path() / "no-weights" / "angles.78");
  writeFile(dir.file("proteins.list"), "1fx2\n");
  ToolResult r = runAngles(dir.path(), {"--predict", "-w", "no-defaults"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no-defaults/kelvor.in"), std::string::npos) << r.err;
  r = runAngles(dir.path(), {"--predict", "-w", "no-weights"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no-weights/angles.78"), std::string::npos) << r.err;
  r = runAngles(dir.path(), {"--predict", "-w", "missing-dir"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("missing-dir"), std::string::npos) << r.err;
  for (const char* k : {"1", "0", "x", "-3", "2.5"}) {
    r = runAngles(dir.path(), {"--out-of-fold", k});
    EXPECT_EQ(r.status, 1) << k;
    EXPECT_NE(r.err.find("--out-of-fold"), std::string::npos) << r.err;
  }
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--frobnicate"}, {"--predict", "--out-of-fold", "3"}, {"-w", "x"}, {"1", "2"}, {"--predict", "-w"}}) {
    r = runAngles(dir.path(), args);
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_NE(r.err.find("kelvor-angles --help"), std::string::npos) << r.err;
  }
  // 211 chains in 5 folds leave list line 85 in no test block and no validation part.
  std::string list;
  for (int i = 1; i <= 211; ++i) list += "chain" + std::to_string(i) + "\n";
  writeFile(dir.file("proteins.list"), list);
  test::writeDefaults(dir.path(), 1, 211, 1, 0.1);
  r = runAngles(dir.path(), {"--out-of-fold", "5"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("list line(s) 85 "), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir.path() / "out-of-fold"));
  r = runAngles(dir.path(), {"--out-of-fold", "300"});
  EXPECT_EQ(r.status, 1);
  // Help says what is read and written.
  r = runAngles(dir.path(), {"--help"});
  EXPECT_EQ(r.status, 0);
  for (const char* s : {"angles.77", "angles.valdav", "angles.checkpoint", "--out-of-fold", "--predict",
                        "new_prf/N.mat", "Exit status"})
    EXPECT_NE(r.out.find(s), std::string::npos) << s;
  r = runAngles(dir.path(), {"--version"});
  EXPECT_EQ(r.out.rfind("kelvor-angles ", 0), 0u);
}

}  // namespace
}  // namespace kelvor::angles
