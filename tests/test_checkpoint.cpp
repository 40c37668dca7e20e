// The checkpoint file: exact round trip, refusal of every kind of damage, and the settings check.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <memory>

#include "network/netinit.h"
#include "run/checkpoint.h"
#include "run/run_identity.h"

namespace kelvor {
namespace {

Checkpoint sample() {
  Checkpoint cp;
  auto net = std::make_unique<Network>();
  int seed = 977;
  drawWeights(*net, seed);
  net->wei1[5] = -0.0;
  net->owei2[7] = std::numeric_limits<double>::denorm_min();
  net->ofwei2[3] = std::bit_cast<double>(0x7ff8000000000123ULL);  // a NaN with a payload
  takeNetwork(cp, *net);
  cp.seedOffset = -3;
  cp.time = {23, 59, 1};
  cp.generator = seed;
  cp.settings.rate = 0.002;
  cp.settings.listName = "proteins.list";
  cp.stage = Stage::kFilter;
  cp.phase = {17, 0.6523, 4, 13, true};
  cp.stdoutLines = {" random seed =            9", "", std::string("a\0b\n", 4)};
  cp.reportLength = 1234;
  cp.reportHash = 0xfedcba9876543210ULL;
  return cp;
}

TEST(Checkpoint, ReadsBackEveryBit) {
  const Checkpoint cp = sample();
  const std::string bytes = encodeCheckpoint(cp);
  const Checkpoint back = decodeCheckpoint(bytes, "x");
  EXPECT_EQ(encodeCheckpoint(back), bytes);  // every weight bit, -0.0 and the NaN's payload included
  Network a;
  giveNetwork(back, a);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(a.ofwei2[3]), 0x7ff8000000000123ULL);
  EXPECT_TRUE(back.stage == Stage::kFilter && back.phase.stopped && back.phase.epoch == 17 && back.time == cp.time);
}

TEST(Checkpoint, EveryDamageIsRefused) {
  const std::string good = encodeCheckpoint(sample());
  auto flip = [&](std::size_t at) {
    std::string b = good;
    b[at] = static_cast<char>(b[at] ^ 0x10);
    return b;
  };
  const struct {
    const char* what;
    std::string bytes;
    const char* says;
  } cases[] = {
      {"magic", flip(0), "not a kelvor checkpoint"},
      {"version", flip(8), "version"},
      {"length", flip(12), "length"},
      {"a weight", flip(good.size() / 2), "checksum"},
      {"checksum", flip(good.size() - 1), "checksum"},
      {"cut", good.substr(0, good.size() - 1), "length"},
      {"one byte more", good + '\0', "length"},
      {"empty", "", "not a kelvor checkpoint"},
  };
  for (const auto& c : cases) {
    try {
      decodeCheckpoint(c.bytes, "kelvor.checkpoint");
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const ResumeRefusal& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << c.what << ": " << e.what();
    }
  }
}

TEST(Checkpoint, SettingsChangeNamesTheSetting) {
  Settings was;
  was.rate = 0.002;
  was.listName = "proteins.list";
  EXPECT_EQ(settingsChange(was, was), "");
  Settings padded = was;
  padded.listName += "   ";
  EXPECT_EQ(settingsChange(was, padded), "") << "blank padding is no change";
  const struct {
    void (*change)(Settings&);
    const char* names;
  } cases[] = {
      {[](Settings& s) { s.epochLimit = 9; }, "epoch limit"},
      {[](Settings& s) { s.rate = 0.003; }, "learning rate (line 4) is 0.003, the checkpoint's run used 0.002"},
      {[](Settings& s) { s.dcay = std::nextafter(0.0, 1.0); }, "attenuation scale"},
      {[](Settings& s) { s.fold = 2; }, "fold number"},
      {[](Settings& s) { s.listName = "other.list"; }, "protein list name"},
  };
  for (const auto& c : cases) {
    Settings now = was;
    c.change(now);
    EXPECT_NE(settingsChange(was, now).find(c.names), std::string::npos) << settingsChange(was, now);
  }
}

}  // namespace
}  // namespace kelvor
