// The fast kernels for AVX2: four doubles per vector. Built with -mavx2 -mfma (no contraction: FMA
// only where tanh asks for it explicitly); run only on CPUs that have both (network/dispatch.cpp).
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

constexpr int kLanes = 4;
constexpr int kBlockVectors = 6;
constexpr int kPairVectors = 0;  // no forward pairs: two sets of sums do not fit sixteen registers
typedef double Vec __attribute__((vector_size(32)));

#define KELVOR_VECTOR_TANH 1
#include "network/fast/kernel_body.h"

}  // namespace

const KernelSet* kernelsAvx2() {
  static const KernelSet kernels{"avx2",       kLanes,      kBlockVectors, kTailLanes,    &firstRange,
                                 &filterRange, &floorSteps, &tanhEach,     &tanhInVectors};
  return &kernels;
}

}  // namespace kelvor::fast
