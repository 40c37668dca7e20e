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

#include "network/fast/kernel_set.h"

namespace kelvor::fast {
namespace {

constexpr int kLanes = 8;
// One thread's 13 vectors go in blocks of 7 and 6, so that forward pairs (two sets of sums in
// registers, blocks of up to 8 vectors) run on one thread too; training is as fast as with one
// block of 13.
constexpr int kBlockVectors = 7;
constexpr int kPairVectors = 8;
typedef double Vec __attribute__((vector_size(64)));

#define KELVOR_VECTOR_TANH 1
#include "network/fast/kernel_body.h"

}  // namespace

const KernelSet* kernelsAvx512() {
  static const KernelSet kernels{"avx512",     kLanes,      kBlockVectors, kTailLanes,    &firstRange,
                                 &filterRange, &floorSteps, &tanhEach,     &tanhInVectors};
  return &kernels;
}

}  // namespace kelvor::fast
