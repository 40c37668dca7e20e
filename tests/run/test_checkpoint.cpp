// The checkpoint file: exact round trip, refusal of every kind of damage and of fields out of
// range, reading only a regular file, the weight files it records, and the settings check.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <filesystem>
#include <limits>
#include <memory>
#include <set>
#include <sys/stat.h>

#include "config/settings_table.h"
#include "ground/output.h"
#include "network/netinit.h"
#include "network/weight_arrays.h"
#include "run/checkpoint.h"
#include "run/run_identity.h"
#include "run/weight_records.h"
#include "tests/support/test_support.h"
#include "weightio/weight_files.h"

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
  // Every setting has a value of its own, so that one written into another's place shows.
  int k = 0;
  for (const SettingField& f : kSettingFields) {
    ++k;
    switch (f.kind) {
      case SettingField::kInteger:
        cp.settings.*f.integer = 100 + k;
        break;
      case SettingField::kReal:
        cp.settings.*f.real = 0.5 + 0.01 * k;
        break;
      case SettingField::kText:
        cp.settings.*f.text = "t" + std::to_string(k);
        break;
    }
  }
  cp.stage = Stage::kFilter;
  cp.phase = {17, 0.6523, 4, 13, true};
  cp.stdoutLines = {" random seed =            9", "", std::string("a\0b\n", 4)};
  cp.reportLength = 1234;
  cp.reportHash = 0xfedcba9876543210ULL;
  cp.weightFiles = {
      {"fort.77", {true, 1}, {true, 2}}, {"fort.78", {false, 0}, {true, 3}}, {"fort.88", {true, 4}, {true, 4}}};
  return cp;
}

// The checkpoint's bytes with its payload changed by `change` and the checksum made right again:
// what a writer with a fault would leave.
std::string resealed(const std::string& good, const std::function<void(std::string&)>& change) {
  std::string payload = good.substr(20, good.size() - 28);
  change(payload);
  std::string b = good.substr(0, 20) + payload;
  std::uint64_t sum = fnv1a(payload.data(), payload.size());
  for (int i = 0; i < 8; ++i) b += static_cast<char>((sum >> (8 * i)) & 0xff);
  return b;
}

void putI32(std::string& s, std::size_t at, int v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xff);
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
  EXPECT_EQ(settingsChange(cp.settings, back.settings), "");
  ASSERT_EQ(back.weightFiles.size(), 3u);
  EXPECT_TRUE(back.weightFiles[1].name == "fort.78" && !back.weightFiles[1].now.present &&
              back.weightFiles[1].after.hash == 3);
  // Every trained array of the network comes back, each from its own place.
  std::vector<std::vector<double>> was, now;
  forEachWeightArray(cp.net, [&](const char*, auto v) { was.emplace_back(v.begin(), v.end()); });
  forEachWeightArray(back.net, [&](const char*, auto v) { now.emplace_back(v.begin(), v.end()); });
  ASSERT_EQ(was.size(), 9u);
  for (std::size_t i = 0; i < was.size(); ++i)
    EXPECT_EQ(std::memcmp(was[i].data(), now[i].data(), was[i].size() * sizeof(double)), 0) << "array " << i;
}

// Fields are range-checked even under a good checksum. The payload starts with the seed offset,
// the time (3), the generator and the settings; the phase and its state follow them.
TEST(Checkpoint, FieldsOutOfRangeAreRefusedUnderAGoodChecksum) {
  Checkpoint cp = sample();
  const std::string good = encodeCheckpoint(cp);
  std::size_t settingsBytes = 0;
  for (const SettingField& f : kSettingFields)
    settingsBytes += f.kind == SettingField::kInteger ? 4
                     : f.kind == SettingField::kReal  ? 8
                                                      : 8 + (cp.settings.*f.text).size();
  const std::size_t phaseAt = 4 + 12 + 4 + settingsBytes + 16;  // after the proteins' and data's hashes
  const struct {
    const char* what;
    std::function<void(std::string&)> change;
    const char* says;
  } cases[] = {
      {"hour 24", [](std::string& p) { putI32(p, 4, 24); }, "hour"},
      {"second -1", [](std::string& p) { putI32(p, 12, -1); }, "second"},
      {"phase 3", [&](std::string& p) { putI32(p, phaseAt, 3); }, "phase"},
      {"epoch 0", [&](std::string& p) { putI32(p, phaseAt + 4, 0); }, "epoch"},
      {"epoch past the limit", [&](std::string& p) { putI32(p, phaseAt + 4, 103); }, "epoch"},
      {"negative stale count", [&](std::string& p) { putI32(p, phaseAt + 16, -1); }, "without improvement"},
      {"kept epoch not yet run", [&](std::string& p) { putI32(p, phaseAt + 20, 17); }, "kept epoch"},
      {"stop flag 2", [&](std::string& p) { putI32(p, phaseAt + 24, 2); }, "early stop"},
      {"best score 1.5",
       [&](std::string& p) {
         std::uint64_t b = std::bit_cast<std::uint64_t>(1.5);
         for (int i = 0; i < 8; ++i) p[phaseAt + 8 + i] = static_cast<char>((b >> (8 * i)) & 0xff);
       },
       "best score"},
      {"line count past the file", [&](std::string& p) { p[phaseAt + 28 + 7] = 0x10; }, "standard output lines"},
  };
  for (const auto& c : cases) {
    try {
      decodeCheckpoint(resealed(good, c.change), "kelvor.checkpoint");
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const ResumeRefusal& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << c.what << ": " << e.what();
      EXPECT_NE(std::string(e.what()).find("kelvor.checkpoint"), std::string::npos) << e.what();
    }
  }
  // A list name past 120 characters.
  Checkpoint longName = sample();
  longName.settings.listName = std::string(121, 'n');
  EXPECT_THROW(decodeCheckpoint(encodeCheckpoint(longName), "x"), ResumeRefusal);
}

// Only a regular file is read: a directory, a FIFO or a device is refused at once, naming it.
TEST(Checkpoint, OnlyARegularFileIsRead) {
  test::ScratchDir dir;
  test::InDirectory in(dir.path());
  const std::string name = "kelvor.checkpoint";
  auto refusal = [&]() -> std::string {
    try {
      readCheckpoint(name);
    } catch (const ResumeRefusal& e) {
      return e.what();
    }
    return "accepted";
  };
  EXPECT_NE(refusal().find("nothing to resume"), std::string::npos);
  std::filesystem::create_directory(name);
  EXPECT_NE(refusal().find("\"kelvor.checkpoint\" is refused (cannot open: is a directory"), std::string::npos)
      << refusal();
  std::filesystem::remove(name);
  ASSERT_EQ(::mkfifo(name.c_str(), 0644), 0);
  EXPECT_NE(refusal().find("\"kelvor.checkpoint\" is refused (cannot read: not a regular file"), std::string::npos)
      << refusal();
  std::filesystem::remove(name);
  std::filesystem::create_symlink("/dev/zero", name);
  EXPECT_NE(refusal().find("\"kelvor.checkpoint\" is refused (cannot read: not a regular file"), std::string::npos)
      << refusal();
  std::filesystem::remove(name);
  writeCheckpoint(sample(), name);
  EXPECT_EQ(encodeCheckpoint(readCheckpoint(name)), encodeCheckpoint(sample()));
}

// The weight files a checkpoint records: a set as it was before the save that follows the
// checkpoint is to be saved again; a set as the save left it goes on; anything else is refused,
// naming the file, in either phase.
TEST(Checkpoint, WeightFilesAreCheckedAgainstTheRecord) {
  test::ScratchDir dir;
  test::InDirectory in(dir.path());
  const RunFiles files;
  auto net = std::make_unique<Network>();
  int seed = 5;
  drawWeights(*net, seed);
  outwei(*net, 0);
  // Before the first filter save: no filter file yet; a first-stage save pending.
  auto next = std::make_unique<Network>(*net);
  next->wei2[3] += 0.25;
  const std::vector<WeightFileRecord> before = weightFileRecords(files, Stage::kFirst, *next);
  ASSERT_EQ(before.size(), 5u);
  EXPECT_FALSE(before[3].now.present);
  EXPECT_TRUE(before[0].now == before[0].after) << "fort.77 does not change";
  EXPECT_FALSE(before[1].now == before[1].after) << "fort.78 changes";

  WeightFilesFound found = checkWeightFiles(files, before);
  EXPECT_EQ(found.refusal, "");
  EXPECT_EQ(found.unfinishedSaves, std::vector<Stage>{Stage::kFirst});
  replaceFiles(weightSetContents(files, Stage::kFirst, *next));
  found = checkWeightFiles(files, before);
  EXPECT_EQ(found.refusal, "");
  EXPECT_TRUE(found.unfinishedSaves.empty());

  outweif(*net, 0);
  const std::vector<WeightFileRecord> filter = weightFileRecords(files, std::nullopt, *next);
  const struct {
    const char* file;
    bool remove;
    const char* says;
  } changes[] = {
      {"fort.77", false, "the first-stage weight file \"fort.77\" was changed since the checkpoint was taken"},
      {"fort.79", true, "the first-stage weight file \"fort.79\" was removed since the checkpoint was taken"},
      {"fort.88", false, "the filter weight file \"fort.88\" was changed since the checkpoint was taken"},
      {"fort.87", true, "the filter weight file \"fort.87\" was removed since the checkpoint was taken"},
  };
  for (const auto& c : changes) {
    const std::string kept = test::readFile(c.file);
    if (c.remove)
      std::filesystem::remove(c.file);
    else
      test::writeFile(c.file, " 0.5\n" + kept.substr(kept.find('\n') + 1));
    EXPECT_EQ(checkWeightFiles(files, filter).refusal, c.says);
    test::writeFile(c.file, kept);
    EXPECT_EQ(checkWeightFiles(files, filter).refusal, "");
  }
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
      {[](Settings& s) { s.listName = "other.list"; }, "protein list file name (line 10)"},
      {[](Settings& s) { s.word = "other"; }, "word after the protein list name (line 10)"},
  };
  for (const auto& c : cases) {
    Settings now = was;
    c.change(now);
    EXPECT_NE(settingsChange(was, now).find(c.names), std::string::npos) << settingsChange(was, now);
  }
  // Every setting of the table is compared: a change of any one of them is seen.
  for (const SettingField& f : kSettingFields) {
    Settings now = was;
    switch (f.kind) {
      case SettingField::kInteger:
        now.*f.integer += 1;
        break;
      case SettingField::kReal:
        now.*f.real = std::nextafter(now.*f.real, 1.0);
        break;
      case SettingField::kText:
        now.*f.text = "changed";
        break;
    }
    EXPECT_NE(settingsChange(was, now).find(f.name), std::string::npos) << f.name;
  }
}

}  // namespace
}  // namespace kelvor
