#include "tools/synth/synth_room.h"

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

#include "ground/errors.h"

namespace kelvor::synth {
namespace {

std::uint64_t chainsOf(const SetOptions& o) {
  return static_cast<std::uint64_t>(o.chains > 0 ? o.chains : std::max(1L, o.residues / 200));
}

std::string inMiB(std::uint64_t bytes) {
  char text[64];
  std::snprintf(text, sizeof text, "%.0f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

}  // namespace

// The longest chain the options allow. Drawn lengths lie within 25..900 residues; scaled to a
// residue total, a chain gets at most 900 / 25 times the mean share, plus one from the rounding
// and one from the spreading of what rounding left; and never more than what the other chains,
// one residue each at least, leave.
std::uint64_t longestChainBound(const SetOptions& o) {
  const std::uint64_t chains = chainsOf(o);
  if (o.residues <= 0) return 900;
  const std::uint64_t residues = static_cast<std::uint64_t>(o.residues);
  const std::uint64_t scaled = 36 * residues / chains + 2;
  return std::min(scaled, residues > chains ? residues - chains + 1 : 1);
}

std::uint64_t memoryNeeded(const SetOptions& o) {
  const std::uint64_t chains = chainsOf(o);
  const std::uint64_t listLine = 3 + std::max<std::uint64_t>(4, std::to_string(chains).size()) + 1;
  return chains * (sizeof(int) + listLine) + longestChainBound(o) * kTextBytesPerResidue;
}

std::uint64_t memoryAvailable() {
  const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGE_SIZE);
  std::uint64_t room =
      pages > 0 && pageSize > 0 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize) : UINT64_MAX;
  for (int resource : {RLIMIT_AS, RLIMIT_DATA}) {
    rlimit limit{};
    if (::getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
      room = std::min<std::uint64_t>(room, limit.rlim_cur);
  }
  return room;
}

void checkRoom(const SetOptions& o, std::uint64_t available) {
  const std::uint64_t need = memoryNeeded(o);
  if (need <= available) return;
  const std::uint64_t chains = chainsOf(o), longest = longestChainBound(o);
  const std::string chainCount = std::to_string(chains) + (chains == 1 ? " chain" : " chains");
  // Name what takes the room: the texts of a long chain, or the bookkeeping of every chain.
  if (longest * kTextBytesPerResidue >= need / 2)
    throw MemoryError(std::to_string(o.residues) + " residues in " + chainCount + " (up to " + std::to_string(longest) +
                      " residues in one chain) need " + inMiB(need) + " of memory; kelvor-synth may use " +
                      inMiB(available) + " here; ask for fewer residues or more chains");
  throw MemoryError(chainCount + " need " + inMiB(need) + " of memory; kelvor-synth may use " + inMiB(available) +
                    " here; ask for fewer chains");
}

}  // namespace kelvor::synth
