#include "ground/checksum.h"

namespace kelvor {

std::uint64_t fnv1a(const void* data, std::size_t size, std::uint64_t hash) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= p[i];
    hash *= kFnvPrime;
  }
  return hash;
}

}  // namespace kelvor
