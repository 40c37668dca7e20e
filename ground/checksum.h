// The checksum of the project's own files: 64-bit FNV-1a over bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvor {

// 64-bit FNV-1a, continued from `hash` (the offset basis starts a new one).
constexpr std::uint64_t kFnvBasis = 14695981039346656037ULL;
constexpr std::uint64_t kFnvPrime = 1099511628211ULL;
std::uint64_t fnv1a(const void* data, std::size_t size, std::uint64_t hash = kFnvBasis);

}  // namespace kelvor
