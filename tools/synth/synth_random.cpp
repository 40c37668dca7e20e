#include "tools/synth/synth_random.h"

namespace kelvor::synth {

std::uint64_t Random::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Random::uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

int Random::between(int lo, int hi) {
  const std::uint64_t span = static_cast<std::uint64_t>(hi - lo) + 1;
  return lo + static_cast<int>(next() % span);
}

double Random::bell() {
  // Four uniforms have variance 4/12; scale by sqrt(3) to reach 1.
  const double s = uniform() + uniform() + uniform() + uniform() - 2.0;
  return s * 1.7320508075688772;
}

}  // namespace kelvor::synth
