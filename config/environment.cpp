#include "config/environment.h"

#include <cstdlib>

#include "ground/errors.h"
#include "ground/whole_number.h"
#include "network/fast/engine.h"
#include "network/fast/kernel_set.h"

namespace kelvor {
namespace {

[[noreturn]] void refuse(const char* name, const std::string& value, const std::string& allowed) {
  throw ConfigError(std::string(name) + " is \"" + value + "\"; allowed: " + allowed);
}

// A whole number lo..hi from `name`, or nothing when it is unset or empty.
std::optional<long long> wholeNumber(const char* name, long long lo, long long hi, const std::string& allowed) {
  const std::optional<std::string> value = environmentValue(name);
  if (!value) return std::nullopt;
  long long n = 0;
  if (!parseWholeNumber(value->c_str(), lo, hi, n)) refuse(name, *value, allowed);
  return n;
}

}  // namespace

std::optional<std::string> environmentValue(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

bool parseTimeOfDay(const char* text, TimeOfDay& t) {
  int v[3] = {0, 0, 0};
  const char* p = text;
  for (int i = 0; i < 3; ++i) {
    if (*p < '0' || *p > '9') return false;
    int n = 0, digits = 0;
    while (*p >= '0' && *p <= '9' && digits < 3) n = n * 10 + (*p++ - '0'), ++digits;
    if (digits > 2) return false;
    v[i] = n;
    if (i < 2) {
      if (*p != ':') return false;
      ++p;
    }
  }
  if (*p != '\0' || v[0] > 23 || v[1] > 59 || v[2] > 59) return false;
  t = {v[0], v[1], v[2]};
  return true;
}

std::optional<TimeOfDay> timeFromEnvironment() {
  const std::optional<std::string> value = environmentValue("KELVOR_TIME");
  if (!value) return std::nullopt;
  TimeOfDay t{};
  if (!parseTimeOfDay(value->c_str(), t))
    refuse("KELVOR_TIME", *value, "a time of day hh:mm:ss with hh 0-23, mm and ss 0-59");
  return t;
}

EngineChoice engineFromEnvironment(const EngineChoice& given) {
  EngineChoice choice = given;
  if (const std::optional<std::string> kernel = environmentValue("KELVOR_KERNEL")) {
    choice.forced = nullptr;
    if (*kernel == "reference") {
      choice.kernels = KernelChoice::kReference;
    } else if (*kernel == "fast") {
      choice.kernels = KernelChoice::kFast;
    } else if (*kernel == "best") {
      choice.kernels = KernelChoice::kBest;
    } else {
      std::string names;
      for (const fast::KernelSet* k : runnableKernelSets()) {
        names += ", fast-" + kernelSetName(*k);
        if (*kernel == "fast-" + kernelSetName(*k)) choice.forced = k;
      }
      if (choice.forced == nullptr) refuse("KELVOR_KERNEL", *kernel, "reference, fast, best" + names);
      choice.kernels = KernelChoice::kFast;
    }
  }
  if (const std::optional<long long> threads = wholeNumber(
          "KELVOR_THREADS", 0, fast::kMaxThreads, "0 (the cores available) to " + std::to_string(fast::kMaxThreads)))
    choice.threads = static_cast<int>(*threads);
  return choice;
}

double checkpointSecondsFromEnvironment() {
  const std::optional<long long> seconds =
      wholeNumber("KELVOR_CHECKPOINT_SECONDS", 0, 1000000000,
                  "a whole number of seconds from 0 (a checkpoint every epoch) to 1000000000");
  return seconds ? static_cast<double>(*seconds) : 60.0;
}

void checkEnvironment() {
  timeFromEnvironment();
  engineFromEnvironment();
  checkpointSecondsFromEnvironment();
}

}  // namespace kelvor
