// The start-up that a fresh run and a resume share: it uses the run's own file names, checks
// before its hook, and hands back a loaded data set with the outputs sized to it.
#include <gtest/gtest.h>

#include <filesystem>

#include "config/clock.h"
#include "run/outputs_check.h"
#include "run/startup.h"
#include "ground/errors.h"
#include "ground/output.h"
#include "run/stdout_tap.h"
#include "tests/support/test_support.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

RunFiles otherRun() {
  RunFiles f;
  f.report = "other.valdav";
  f.checkpoint = "other.checkpoint";
  f.lock = "other.lock";
  f.firstStage = {"other.77", "other.78", "other.79"};
  f.filter = {};
  return f;
}

class StartUp : public testing::Test {
 protected:
  void SetUp() override {
    test::copyExampleChains(dir_.path(), 4);
    test::writeDefaults(dir_.path(), 2, 4, 1, 0.25);
    setTimeOfDay({0, 0, 0});
  }
  void TearDown() override { resetTimeOfDay(); }
  test::ScratchDir dir_;
};

TEST_F(StartUp, TakesTheRunsOwnNamesAndCallsItsHookBeforeTheNetwork) {
  test::InDirectory in(dir_.path());
  const RunFiles files = otherRun();
  std::vector<std::string> lines;
  tapStdout(&lines, true);
  int calls = 0;
  std::size_t linesAtHook = 99;
  StartedRun run = startRun(files, 7, [&](const RunConfig& cfg, const DataStore&) {
    ++calls;
    linesAtHook = lines.size();
    EXPECT_EQ(cfg.reportName, "other.valdav");
  });
  tapStdout(nullptr);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(linesAtHook, 0u) << "the hook comes before the random seed line";
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].rfind(" random seed =", 0), 0u);
  EXPECT_EQ(run.cfg.reportName, "other.valdav");
  EXPECT_GT(run.store->nta, 0);
  EXPECT_EQ(run.net->outs.size(), static_cast<std::size_t>(run.store->nta) * 3);
  EXPECT_FALSE(fs::exists("other.valdav")) << "start-up itself writes nothing";
  EXPECT_FALSE(fs::exists("kelvor.valdav"));
}

TEST_F(StartUp, ChecksItsOwnOutputsBeforeItsHook) {
  test::InDirectory in(dir_.path());
  const RunFiles files = otherRun();
  std::vector<std::string> lines;
  tapStdout(&lines, true);
  // The run's lock, linked to its protein list: refused before the hook, naming the lock.
  fs::create_symlink("proteins.list", "other.lock");
  bool called = false;
  try {
    startRun(files, 7, [&](const RunConfig&, const DataStore&) { called = true; });
    ADD_FAILURE() << "accepted";
  } catch (const FileError& e) {
    EXPECT_EQ(e.file(), "other.lock") << e.what();
  }
  EXPECT_FALSE(called);
  // kelvor's own lock name is none of this run's business.
  fs::remove("other.lock");
  fs::create_symlink("proteins.list", "kelvor.lock");
  EXPECT_NO_THROW(startRun(files, 7));
  tapStdout(nullptr);
}

TEST_F(StartUp, ATrainingRunsWeightFileMayNotBeOneOfItsInputs) {
  test::InDirectory in(dir_.path());
  const RunFiles files = otherRun();
  std::vector<std::string> lines;
  tapStdout(&lines, true);
  // Saving weights through this link would overwrite the protein list.
  fs::create_symlink("proteins.list", "other.79");
  bool called = false;
  try {
    startRun(files, 7, [&](const RunConfig&, const DataStore&) { called = true; });
    ADD_FAILURE() << "accepted";
  } catch (const FileError& e) {
    EXPECT_EQ(e.file(), "other.79") << e.what();
  }
  EXPECT_FALSE(called);
  // A prediction run only reads its weight files.
  test::writeDefaults(dir_.path(), 0, 4, 1, 0.25);
  EXPECT_NO_THROW(startRun(files, 7));
  tapStdout(nullptr);
}

TEST_F(StartUp, OutputsThatCannotBeWrittenAreNamed) {
  test::InDirectory in(dir_.path());
  const RunFiles files = otherRun();
  EXPECT_NO_THROW(checkOutputsWritable(files, true));
  fs::create_directories("other.78.part/inside");
  try {
    checkOutputsWritable(files, true);
    ADD_FAILURE() << "accepted";
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "file \"other.78\": cannot replace: its temporary \"other.78.part\" is a directory "
              "(every output is checked before the run begins; nothing was written)");
  }
  EXPECT_NO_THROW(checkOutputsWritable(files, false)) << "a prediction run writes no weight file";
  fs::create_directories("other.valdav/inside");
  EXPECT_THROW(checkOutputsWritable(files, false), FileError);
  // kelvor's names are not this run's: a directory at fort.77 does not matter to it.
  fs::remove_all("other.78.part");
  fs::remove_all("other.valdav");
  fs::create_directories("fort.77/inside");
  EXPECT_NO_THROW(checkOutputsWritable(files, true));
  EXPECT_THROW(checkOutputsWritable(RunFiles{}, true), FileError);
}

}  // namespace
}  // namespace kelvor
