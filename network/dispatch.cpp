// The one place that picks a kernel set: probes the CPU once and reads the environment.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <thread>

#include "network/engine.h"
#include "network/fast/engine.h"
#include "network/fast/kernel_set.h"
#include "ground/errors.h"

namespace kelvor {

std::vector<const fast::KernelSet*> runnableKernelSets() {
  static const std::vector<const fast::KernelSet*> sets = [] {
    std::vector<const fast::KernelSet*> v;
#if defined(KELVOR_X86_KERNELS)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) v.push_back(fast::kernelsAvx512());
    // The AVX2 sets are built with FMA too (their tanh uses it).
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    if (avx2) v.push_back(fast::kernelsAvx2());
#endif
    v.push_back(fast::kernelsBaseline());
#if defined(KELVOR_X86_KERNELS)
    if (avx2) v.push_back(fast::kernelsAvx2Wide());
#endif
    return v;
  }();
  return sets;
}

std::string kernelSetName(const fast::KernelSet& kernels) { return kernels.name; }

int defaultThreads() {
  cpu_set_t set;
  int cores = 0;
  if (sched_getaffinity(0, sizeof set, &set) == 0) cores = CPU_COUNT(&set);
  if (cores <= 0) cores = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(cores, 1, 4);
}

namespace {

// A thread count from the environment: a whole number 0..8, 0 being the default.
int threadsFromEnvironment(int threads) {
  const char* env = std::getenv("KELVOR_THREADS");
  if (env == nullptr || *env == '\0') return threads;
  char* end = nullptr;
  const long n = std::strtol(env, &end, 10);
  if (*end != '\0' || n < 0 || n > fast::kMaxThreads)
    throw ConfigError(std::string("KELVOR_THREADS is \"") + env + "\"; allowed: 0 (the cores available) to " +
                      std::to_string(fast::kMaxThreads));
  return static_cast<int>(n);
}

}  // namespace

// KELVOR_KERNEL: the choice it makes (and the set it forces, if it names one).
static const fast::KernelSet* kernelFromEnvironment(KernelChoice& choice) {
  const fast::KernelSet* forced = nullptr;
  if (const char* env = std::getenv("KELVOR_KERNEL")) {
    if (std::strcmp(env, "reference") == 0) {
      choice = KernelChoice::kReference;
    } else if (std::strcmp(env, "fast") == 0) {
      choice = KernelChoice::kFast;
    } else if (std::strcmp(env, "best") == 0) {
      choice = KernelChoice::kBest;
    } else {
      std::string names;
      for (const fast::KernelSet* k : runnableKernelSets()) {
        names += ", fast-" + kernelSetName(*k);
        if (std::strcmp(env, ("fast-" + kernelSetName(*k)).c_str()) == 0) forced = k;
      }
      if (forced == nullptr)
        throw ConfigError(std::string("KELVOR_KERNEL is \"") + env + "\"; allowed: reference, fast, best" + names);
      choice = KernelChoice::kFast;
    }
  }
  return forced;
}

void checkEngineEnvironment() {
  KernelChoice choice = KernelChoice::kBest;
  kernelFromEnvironment(choice);
  threadsFromEnvironment(0);
}

std::unique_ptr<Engine> makeEngine(Network& net, DataStore& store, KernelChoice choice, int threads) {
  const fast::KernelSet* forced = kernelFromEnvironment(choice);
  threads = threadsFromEnvironment(threads);
  if (choice == KernelChoice::kReference) return std::make_unique<ReferenceEngine>(net, store);
  // Every CPU runs a fast set (the baseline one at least), so "best" and "fast" agree.
  const fast::KernelSet& kernels = forced ? *forced : *runnableKernelSets().front();
  return std::make_unique<FastEngine>(net, store, kernels, threads > 0 ? threads : defaultThreads());
}

}  // namespace kelvor
