// The order of an epoch: which parts are trained, in which order, through which network.
#include <gtest/gtest.h>

#include "network/epoch_run.h"

namespace kelvor {
namespace {

// A data set whose parts end at residues ntatrain, ntatrval and nta.
DataStore parts(int ntatrain, int ntatrval, int nta) {
  DataStore s;
  s.ntatrain = ntatrain;
  s.ntatrval = ntatrval;
  s.nta = nta;
  return s;
}

std::string shown(const std::vector<EpochRange>& ranges) {
  std::string s;
  for (const EpochRange& r : ranges)
    s += (r.trained ? "train " : "forward ") + std::to_string(r.first) + ".." + std::to_string(r.last) + "; ";
  return s;
}

TEST(EpochOrder, TheTestPartIsTrainedOrOnlyRunForward) {
  const DataStore s = parts(4, 7, 10);
  EXPECT_EQ(shown(epochOrder(s, TestPart::kTrained)), "train 1..4; forward 5..7; train 8..10; ");
  EXPECT_EQ(shown(epochOrder(s, TestPart::kForwardOnly)), "train 1..4; forward 5..10; ");
  // Empty parts keep their ranges, so that the calls an epoch makes do not depend on them.
  const DataStore noValidation = parts(4, 4, 10);
  EXPECT_EQ(shown(epochOrder(noValidation, TestPart::kTrained)), "train 1..4; forward 5..4; train 5..10; ");
  const DataStore noTest = parts(4, 7, 7);
  EXPECT_EQ(shown(epochOrder(noTest, TestPart::kForwardOnly)), "train 1..4; forward 5..7; ");
}

// Records the calls of an epoch.
class RecordingEngine : public Engine {
 public:
  using Engine::Engine;
  std::string name() const override { return "recording"; }
  void trainFirst(int a, int b) override { add("trainFirst", a, b); }
  void predictFirst(int a, int b) override { add("predictFirst", a, b); }
  void trainFilter(int a, int b) override { add("trainFilter", a, b); }
  void predictFilter(int a, int b) override { add("predictFilter", a, b); }
  std::string calls;

 private:
  void add(const char* what, int a, int b) {
    calls += std::string(what) + " " + std::to_string(a) + ".." + std::to_string(b) + "; ";
  }
};

TEST(EpochOrder, AnEpochRunsItsRangesInOrderThroughTheNetworkAsked) {
  DataStore s = parts(4, 7, 10);
  Network net;
  RecordingEngine first(net, s), filter(net, s), angles(net, s);
  runEpoch(first, Stage::kFirst, epochOrder(s, TestPart::kTrained));
  runEpoch(filter, Stage::kFilter, epochOrder(s, TestPart::kTrained));
  runEpoch(angles, Stage::kFirst, epochOrder(s, TestPart::kForwardOnly));
  EXPECT_EQ(first.calls, "trainFirst 1..4; predictFirst 5..7; trainFirst 8..10; ");
  EXPECT_EQ(filter.calls, "trainFilter 1..4; predictFilter 5..7; trainFilter 8..10; ");
  EXPECT_EQ(angles.calls, "trainFirst 1..4; predictFirst 5..10; ");
}

}  // namespace
}  // namespace kelvor
