// What a synthetic set needs in memory while it is written, and whether this machine can give
// it: checked before anything is set aside, so that a count too large is refused by name
// instead of ending in an allocation failure halfway through the files.
#pragma once

#include <cstdint>
#include <string>

#include "tools/synth/synth_set.h"

namespace kelvor::synth {

// Upper bound of the bytes that the texts of one residue take while its chain is built (the
// three files' lines, with room for the strings' growth).
constexpr std::uint64_t kTextBytesPerResidue = 600;

// The most residues one chain of the set can get.
std::uint64_t longestChainBound(const SetOptions& o);

// Bytes the set needs at its peak: the chain lengths and the protein list for every chain, and
// the texts of the longest chain it can hold.
std::uint64_t memoryNeeded(const SetOptions& o);

// The bytes this process may use: physical memory, or less under an address-space or data limit.
std::uint64_t memoryAvailable();

// Throws MemoryError (ground/errors.h), naming the chain or residue count and the memory it needs, when the set
// needs more than `available` bytes.
void checkRoom(const SetOptions& o, std::uint64_t available);

}  // namespace kelvor::synth
