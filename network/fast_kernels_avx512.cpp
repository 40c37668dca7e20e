// The fast kernels for AVX-512: eight doubles per vector. Built with -mavx512f (no FMA contraction);
// run only on CPUs that have it (network/dispatch.cpp).
#include <cmath>
#include <limits>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <sched.h>
#include <utility>
#include <vector>

#include "network/fast_kernels.h"

namespace kelvor::fast {
namespace {

constexpr int kLanes = 8;
constexpr int kBlockVectors = 13;
constexpr int kPairVectors = 8;  // forward pairs for blocks of up to 8 vectors (two sets of sums in registers)
typedef double Vec __attribute__((vector_size(64)));

#define KELVOR_VECTOR_TANH 1
#include "network/fast_kernels_impl.h"

}  // namespace

const KernelSet* kernelsAvx512() {
  static const KernelSet kernels{"avx512", kLanes, kBlockVectors, kTailLanes, &firstRange, &filterRange, &floorSteps, &tanhEach, &tanhInVectors};
  return &kernels;
}

}  // namespace kelvor::fast
