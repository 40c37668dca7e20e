// The generator of the synthetic sets: splitmix64, so that a seed gives the same files on every
// platform and standard library (no std:: distributions, whose algorithms are not fixed).
#pragma once

#include <cstdint>

namespace kelvor::synth {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next();
  // Uniform in [0, 1).
  double uniform();
  // Uniform integer in lo..hi.
  int between(int lo, int hi);
  // About normal with mean 0 and deviation 1 (sum of four uniforms, scaled).
  double bell();

 private:
  std::uint64_t state_;
};

}  // namespace kelvor::synth
