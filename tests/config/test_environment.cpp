// The environment variables, read and checked in one place: every variable unset, empty, good and
// bad, the message of a bad value, and the clock that KELVOR_TIME replaces.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "config/clock.h"
#include "config/environment.h"
#include "ground/errors.h"
#include "network/fast/engine.h"
#include "network/fast/kernel_set.h"

namespace kelvor {
namespace {

const char* const kVariables[] = {"KELVOR_TIME", "KELVOR_KERNEL", "KELVOR_THREADS", "KELVOR_CHECKPOINT_SECONDS"};

// Every variable unset for each test, and again afterwards, so that neither a caller's
// environment nor a failing test leaks into another test.
class Environment : public testing::Test {
 protected:
  void SetUp() override { clear(); }
  void TearDown() override {
    clear();
    resetTimeOfDay();
  }
  static void clear() {
    for (const char* name : kVariables) ::unsetenv(name);
  }
  static void set(const char* name, const char* value) { ::setenv(name, value, 1); }

  // The message of the ConfigError that `read` throws ("" when it throws none).
  template <typename Read>
  static std::string refusal(Read read) {
    try {
      read();
    } catch (const ConfigError& e) {
      return e.what();
    }
    return "";
  }
};

TEST_F(Environment, AnUnsetOrEmptyVariableLeavesItsDefault) {
  for (const char* value : {static_cast<const char*>(nullptr), ""}) {
    clear();
    if (value != nullptr)
      for (const char* name : kVariables) set(name, value);
    EXPECT_FALSE(timeFromEnvironment().has_value());
    const EngineChoice given{KernelChoice::kReference, nullptr, 3};
    const EngineChoice got = engineFromEnvironment(given);
    EXPECT_EQ(got.kernels, KernelChoice::kReference);
    EXPECT_EQ(got.forced, nullptr);
    EXPECT_EQ(got.threads, 3);
    const EngineChoice dflt = engineFromEnvironment();
    EXPECT_EQ(dflt.kernels, KernelChoice::kBest);
    EXPECT_EQ(dflt.threads, 0);
    EXPECT_EQ(checkpointSecondsFromEnvironment(), 60.0);
    EXPECT_NO_THROW(checkEnvironment());
    EXPECT_FALSE(environmentValue("KELVOR_TIME").has_value());
  }
}

TEST_F(Environment, TimeOfDay) {
  set("KELVOR_TIME", "07:08:09");
  EXPECT_EQ(timeFromEnvironment(), (TimeOfDay{7, 8, 9}));
  set("KELVOR_TIME", "0:0:0");
  EXPECT_EQ(timeFromEnvironment(), (TimeOfDay{0, 0, 0}));
  set("KELVOR_TIME", "23:59:59");
  EXPECT_EQ(timeFromEnvironment(), (TimeOfDay{23, 59, 59}));
  for (const char* bad : {"24:00:00", "12:60:00", "12:00:60", "12:00", "12:00:00:00", "012:00:00", "1 2:00:00",
                          "12:00:00 ", "-1:00:00", "ab:cd:ef", ":00:00"}) {
    set("KELVOR_TIME", bad);
    EXPECT_EQ(
        refusal([] { timeFromEnvironment(); }),
        std::string("KELVOR_TIME is \"") + bad + "\"; allowed: a time of day hh:mm:ss with hh 0-23, mm and ss 0-59")
        << bad;
    EXPECT_THROW(checkEnvironment(), ConfigError) << bad;
  }
}

TEST_F(Environment, KernelSetOverridesTheChoiceGiven) {
  const EngineChoice given{KernelChoice::kFast, nullptr, 2};
  set("KELVOR_KERNEL", "reference");
  EXPECT_EQ(engineFromEnvironment(given).kernels, KernelChoice::kReference);
  set("KELVOR_KERNEL", "best");
  EXPECT_EQ(engineFromEnvironment(given).kernels, KernelChoice::kBest);
  set("KELVOR_KERNEL", "fast");
  EXPECT_EQ(engineFromEnvironment(EngineChoice{KernelChoice::kReference, runnableKernelSets().back(), 0}).kernels,
            KernelChoice::kFast);
  EXPECT_EQ(engineFromEnvironment(EngineChoice{KernelChoice::kReference, runnableKernelSets().back(), 0}).forced,
            nullptr);  // "fast" is the best fast set, not one forced earlier
  std::string names;
  for (const fast::KernelSet* k : runnableKernelSets()) {
    const std::string name = "fast-" + kernelSetName(*k);
    names += ", " + name;
    set("KELVOR_KERNEL", name.c_str());
    const EngineChoice got = engineFromEnvironment(given);
    EXPECT_EQ(got.kernels, KernelChoice::kFast) << name;
    EXPECT_EQ(got.forced, k) << name;
    EXPECT_EQ(got.threads, 2) << name;  // KELVOR_THREADS unset: the count given stays
  }
  for (const char* bad : {"quick", "Reference", "fast-", "fast-none", " fast"}) {
    set("KELVOR_KERNEL", bad);
    EXPECT_EQ(refusal([] { engineFromEnvironment(); }),
              std::string("KELVOR_KERNEL is \"") + bad + "\"; allowed: reference, fast, best" + names)
        << bad;
    EXPECT_THROW(checkEnvironment(), ConfigError) << bad;
  }
}

TEST_F(Environment, ThreadsAreAWholeNumberUpToTheMost) {
  for (int n = 0; n <= fast::kMaxThreads; ++n) {
    set("KELVOR_THREADS", std::to_string(n).c_str());
    EXPECT_EQ(engineFromEnvironment(EngineChoice{KernelChoice::kBest, nullptr, 5}).threads, n);
  }
  set("KELVOR_THREADS", "007");
  EXPECT_EQ(engineFromEnvironment().threads, 7);
  const std::string allowed = "; allowed: 0 (the cores available) to " + std::to_string(fast::kMaxThreads);
  for (const char* bad : {"9", "two", "-1", "+2", " 2", "2 ", "1.5", "1e1", "99999999999999999999999"}) {
    set("KELVOR_THREADS", bad);
    EXPECT_EQ(refusal([] { engineFromEnvironment(); }), std::string("KELVOR_THREADS is \"") + bad + "\"" + allowed)
        << bad;
    EXPECT_THROW(checkEnvironment(), ConfigError) << bad;
  }
}

TEST_F(Environment, CheckpointSecondsAreAWholeNumberUpToABillion) {
  set("KELVOR_CHECKPOINT_SECONDS", "0");
  EXPECT_EQ(checkpointSecondsFromEnvironment(), 0.0);
  set("KELVOR_CHECKPOINT_SECONDS", "1000000000");
  EXPECT_EQ(checkpointSecondsFromEnvironment(), 1e9);
  set("KELVOR_CHECKPOINT_SECONDS", "90");
  EXPECT_EQ(checkpointSecondsFromEnvironment(), 90.0);
  for (const char* bad : {"1000000001", "-1", "+5", "1m", "0x10", " 60", "60.0", "18446744073709551617"}) {
    set("KELVOR_CHECKPOINT_SECONDS", bad);
    EXPECT_EQ(refusal([] { checkpointSecondsFromEnvironment(); }),
              std::string("KELVOR_CHECKPOINT_SECONDS is \"") + bad +
                  "\"; allowed: a whole number of seconds from 0 (a checkpoint every epoch) to 1000000000")
        << bad;
    EXPECT_THROW(checkEnvironment(), ConfigError) << bad;
  }
}

TEST_F(Environment, CheckingNamesTheFirstBadVariableAndAcceptsGoodOnes) {
  set("KELVOR_TIME", "01:02:03");
  set("KELVOR_KERNEL", "reference");
  set("KELVOR_THREADS", "1");
  set("KELVOR_CHECKPOINT_SECONDS", "0");
  EXPECT_NO_THROW(checkEnvironment());
  set("KELVOR_CHECKPOINT_SECONDS", "soon");
  EXPECT_NE(refusal([] { checkEnvironment(); }).find("KELVOR_CHECKPOINT_SECONDS"), std::string::npos);
  set("KELVOR_THREADS", "many");
  EXPECT_NE(refusal([] { checkEnvironment(); }).find("KELVOR_THREADS"), std::string::npos);
}

// The clock reads KELVOR_TIME at its first call only; a time set by hand (a resumed run's) wins.
TEST_F(Environment, TheClockReadsTheTimeOnceAndATimeSetByHandWins) {
  resetTimeOfDay();
  set("KELVOR_TIME", "10:20:30");
  TimeOfDay t{};
  itime(t);
  EXPECT_EQ(t, (TimeOfDay{10, 20, 30}));
  set("KELVOR_TIME", "11:11:11");
  itime(t);
  EXPECT_EQ(t, (TimeOfDay{10, 20, 30}));
  setTimeOfDay({1, 2, 3});
  itime(t);
  EXPECT_EQ(t, (TimeOfDay{1, 2, 3}));
  resetTimeOfDay();
  set("KELVOR_TIME", "25:00:00");
  EXPECT_THROW(itime(t), ConfigError);
  ::unsetenv("KELVOR_TIME");
  resetTimeOfDay();
  itime(t);  // the clock itself
  EXPECT_TRUE(t[0] >= 0 && t[0] <= 23 && t[1] >= 0 && t[1] <= 59 && t[2] >= 0 && t[2] <= 59);
}

}  // namespace
}  // namespace kelvor
