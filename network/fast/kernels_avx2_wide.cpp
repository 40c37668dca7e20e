// The AVX-512 kernels' layout (eight doubles per vector, blocks of up to 13 vectors) built for
// AVX2, where each vector takes two registers. Slower than the AVX2 set; it exists so that the
// layout the AVX-512 set uses is proven bit-identical on CPUs without AVX-512 too.
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

// Vectors wider than the registers change the calling convention; every function here is
// internal to this file, so no caller outside sees it.
#pragma GCC diagnostic ignored "-Wpsabi"

#define KELVOR_VECTOR_TANH 1
#include "network/fast/kernel_body.h"

}  // namespace

const KernelSet* kernelsAvx2Wide() {
  static const KernelSet kernels{"avx2-wide",  kLanes,      kBlockVectors, kTailLanes,    &firstRange,
                                 &filterRange, &floorSteps, &tanhEach,     &tanhInVectors};
  return &kernels;
}

}  // namespace kelvor::fast
