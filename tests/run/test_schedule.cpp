// The training schedule of a phase: epochs, keeping the best weights, early stop, final pass
// and the report lines, driven by a scripted kernel set whose validation scores are chosen.
#include <gtest/gtest.h>

#include <functional>

#include "ground/errors.h"
#include "run/schedule.h"
#include "tests/support/test_support.h"
#include "weightio/weight_files.h"

namespace kelvor {
namespace {

// Ten residues: 1..4 training, 5..7 validation, 8..10 test, all observed as helix.
// In epoch e the validation residues are predicted right when score(e) says so (0..3 of them).
class ScriptedEngine : public Engine {
 public:
  ScriptedEngine(Network& n, DataStore& s, std::function<int(int)> rightInEpoch)
      : Engine(n, s), right_(std::move(rightInEpoch)) {}
  std::string name() const override { return "scripted"; }
  void trainFirst(int first, int last) override {
    if (first == 1) ++epoch_;
    mark(first, last);
    trained_ += last - first + 1;
  }
  void predictFirst(int first, int last) override { mark(first, last); }
  void trainFilter(int first, int last) override { trainFirst(first, last); }
  void predictFilter(int first, int last) override { predictFirst(first, last); }
  void exportWeights() override { net_.wei1[0] = epoch_; }  // the saved weights carry their epoch
  void importWeights() override { loaded_ = static_cast<int>(net_.wei1[0]); }

  int epoch_ = 0;
  int loaded_ = -1;
  long trained_ = 0;

 private:
  void mark(int first, int last) {
    for (int k = first; k <= last; ++k) {
      bool ok = true;
      if (k >= store_.ntatrain + 1 && k <= store_.ntatrval) ok = (k - store_.ntatrain) <= right_(epoch_);
      store_.sscode[k - 1] += ok ? 0.5 : -0.2;
      store_.nsscode[k - 1] += 1;
    }
  }
  std::function<int(int)> right_;
};

class Schedule : public testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 10; ++i) {
      store.addResidue();
      store.fin(i + 1, 36) = 0.5;
    }
    store.ntatrain = 4;
    store.ntatrval = 7;
    report.open("kelvor.valdav");
  }
  struct Outcome {
    PhaseResult result;
    std::string out;
    std::vector<std::string> report;
  };
  Outcome run(ScriptedEngine& e, int limit, Stage stage = Stage::kFirst) {
    Outcome o;
    testing::internal::CaptureStdout();
    o.result = runPhase(stage, e, net, store, report, limit, 213);
    std::fflush(stdout);
    o.out = testing::internal::GetCapturedStdout();
    o.report = test::readLines("kelvor.valdav");
    return o;
  }
  test::ScratchDir dir;
  test::InDirectory in{dir.path()};
  Network net;
  DataStore store;
  ReportFile report;
};

TEST_F(Schedule, EpochLimitOneSavesTheFirstEpochAndCountsTwo) {
  ScriptedEngine e(net, store, [](int) { return 2; });
  Outcome o = run(e, 1);
  EXPECT_EQ(o.report.size(), 8u);
  EXPECT_EQ(o.report[0], "     1    0.1000D+01    0.6667D+00    0.1000D+01");
  EXPECT_EQ(o.report[1], " ");
  EXPECT_EQ(o.report[2], " #Cross Validation");
  EXPECT_EQ(o.report[3], " #----------------");
  EXPECT_EQ(o.report[4], "            2   1.00000000000000     ");
  EXPECT_EQ(o.report[5], " ");
  EXPECT_EQ(o.report[6], " #After filter");
  EXPECT_EQ(o.report[7], " #------------");
  EXPECT_EQ(o.out, " Q10P:   1.00000000000000     \n #After filter\n #------------\n");
  EXPECT_EQ(e.loaded_, 1);
  EXPECT_EQ(e.trained_, 7);  // training and test parts are trained, validation is not
  EXPECT_TRUE(std::filesystem::exists("fort.77"));
}

TEST_F(Schedule, PredictionModeWritesNoEpochsAndCountsOne) {
  net.wei1[0] = 77;
  outweif(net, 0);
  ScriptedEngine e(net, store, [](int) { return 3; });
  Outcome o = run(e, 0, Stage::kFilter);
  EXPECT_EQ(o.report, (std::vector<std::string>{" ", " #Cross Validation", " #----------------",
                                                "            1   1.00000000000000     ", " "}));
  EXPECT_EQ(o.out, " Q10P:   1.00000000000000     \n");
  EXPECT_EQ(e.trained_, 0);
  EXPECT_EQ(e.loaded_, 77);  // the filter files were loaded; the first stage kept its marker
}

TEST_F(Schedule, BestAtEpochOneIsKeptAndTheRunStopsAfter101EpochsWithout) {
  ScriptedEngine e(net, store, [](int epoch) { return epoch == 1 ? 3 : (epoch == 50 ? 3 : 1); });
  Outcome o = run(e, 500);
  EXPECT_EQ(o.result.epoch, 102);
  EXPECT_EQ(e.epoch_, 102);
  EXPECT_EQ(e.loaded_, 1);  // epoch 50 only equalled the best
  EXPECT_EQ(o.report.size(), 102u + 7u);
  EXPECT_EQ(o.report[101].substr(0, 6), "   102");
  EXPECT_EQ(o.report[105], "          102   1.00000000000000     ");
  EXPECT_EQ(o.out.substr(0, o.out.find('\n')), "          102         213   1.00000000000000     ");
}

TEST_F(Schedule, AnImprovementResetsTheCount) {
  ScriptedEngine e(net, store, [](int epoch) { return epoch < 30 ? 1 : (epoch == 30 ? 2 : 0); });
  Outcome o = run(e, 200);
  EXPECT_EQ(e.loaded_, 30);
  EXPECT_EQ(o.result.epoch, 131);
  EXPECT_EQ(o.result.bestEpoch, 30);
}

TEST_F(Schedule, AnEpochLimitBelow102NeverStopsEarly) {
  ScriptedEngine e(net, store, [](int epoch) { return epoch == 1 ? 3 : 0; });
  Outcome o = run(e, 101);
  EXPECT_EQ(o.result.epoch, 102);
  EXPECT_EQ(o.out.find("213"), std::string::npos);
  EXPECT_EQ(o.report.size(), 101u + 7u);
}

TEST_F(Schedule, AnEmptyValidationPartNeverSavesAndStopsInEpoch101) {
  store.ntatrain = 7;  // no validation residues
  ScriptedEngine e(net, store, [](int) { return 3; });
  EXPECT_THROW(run(e, 300), FileError);  // nothing saved and no earlier weights: the load fails
  testing::internal::GetCapturedStdout();
  std::vector<std::string> lines = test::readLines("kelvor.valdav");
  ASSERT_EQ(lines.size(), 101u);
  EXPECT_EQ(lines[0], "     1    0.1000D+01           NaN    0.1000D+01");
  EXPECT_EQ(e.epoch_, 101);
  EXPECT_FALSE(std::filesystem::exists("fort.77"));
}

}  // namespace
}  // namespace kelvor
