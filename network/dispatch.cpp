// The one place that picks a kernel set: probes the CPU once and makes the engine asked for.
#include <algorithm>
#include <sched.h>
#include <thread>

#include "network/engine.h"
#include "network/fast/engine.h"
#include "network/fast/kernel_set.h"

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

std::unique_ptr<Engine> makeEngine(Network& net, DataStore& store, const EngineChoice& choice) {
  if (choice.kernels == KernelChoice::kReference) return std::make_unique<ReferenceEngine>(net, store);
  // Every CPU runs a fast set (the baseline one at least), so "best" and "fast" agree.
  const fast::KernelSet& kernels =
      choice.kernels == KernelChoice::kFast && choice.forced ? *choice.forced : *runnableKernelSets().front();
  return std::make_unique<FastEngine>(net, store, kernels, choice.threads > 0 ? choice.threads : defaultThreads());
}

}  // namespace kelvor
