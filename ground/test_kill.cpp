#include "ground/test_kill.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ground/whole_number.h"

namespace kelvor {
namespace {

constexpr const char* kNames[] = {"line", "save", "part", "rename"};
constexpr int kKinds = 4;
constexpr long long kMostEvents = 1000000000000;

struct Plan {
  bool read = false;
  bool tally = false;
  int kind = -1;  // the event to die at, -1: none
  long long at = 0;
  long long counts[kKinds] = {};
};
Plan plan;

void writeTally() {
  std::fprintf(stderr, "kelvor: test events: line %lld save %lld part %lld rename %lld\n", plan.counts[0],
               plan.counts[1], plan.counts[2], plan.counts[3]);
}

void readPlan() {
  plan.read = true;
  const char* env = std::getenv("KELVOR_TEST_KILL_AT");
  if (env == nullptr || *env == '\0') return;
  const std::string value = env;
  if (value == "tally") {
    plan.tally = true;
    std::atexit(writeTally);
    return;
  }
  const std::size_t colon = value.find(':');
  for (int k = 0; k < kKinds && colon != std::string::npos; ++k) {
    if (value.compare(0, colon, kNames[k]) != 0) continue;
    long long n = 0;
    if (parseWholeNumber(value.c_str() + colon + 1, 1, kMostEvents, n)) {
      plan.kind = k;
      plan.at = n;
      return;
    }
  }
  std::fprintf(stderr, "kelvor: warning: KELVOR_TEST_KILL_AT=\"%s\" is not <event>:<n> or tally; ignored\n", env);
}

}  // namespace

void testKillPoint(TestEvent event) {
  if (!plan.read) readPlan();
  const int k = static_cast<int>(event);
  ++plan.counts[k];
  if (k == plan.kind && plan.counts[k] == plan.at) {
    --plan.counts[k];  // the events that happened before the kill
    writeTally();
    std::fflush(stdout);
    std::raise(SIGKILL);
  }
}

}  // namespace kelvor
