// The fast kernels for the build's own instruction set: two doubles per vector (SSE2 on x86-64).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <sched.h>
#include <utility>

#include "network/fast/kernel_set.h"

namespace kelvor::fast {
namespace {

constexpr int kLanes = 2;
constexpr int kBlockVectors = 6;
constexpr int kPairVectors = 0;  // no forward pairs: two sets of sums do not fit sixteen registers
typedef double Vec __attribute__((vector_size(16)));

#include "network/fast/kernel_body.h"

}  // namespace

const KernelSet* kernelsBaseline() {
  static const KernelSet kernels{"sse2",       kLanes,      kBlockVectors, kTailLanes,    &firstRange,
                                 &filterRange, &floorSteps, &tanhEach,     &tanhInVectors};
  return &kernels;
}

}  // namespace kelvor::fast
