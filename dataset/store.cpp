#include "dataset/store.h"

#include <algorithm>
#include <new>

#include "ground/errors.h"

namespace kelvor {

void DataStore::reserveResidues(long long residues) {
  if (residues <= nta || residues > kMaxResidues) return;
  const std::size_t n = static_cast<std::size_t>(residues);
  try {
    filin.reserve(n * kColumns);
    for (auto* v : {&winlo, &winhi, &outlo, &outhi, &nsscode}) v->reserve(n);
    sscode.reserve(n);
  } catch (const std::bad_alloc&) {
    // Left to addResidue(), which names the residue where memory ran out.
  }
}

void DataStore::setChainBounds(int last, int length) {
  for (int k = 1; k <= length; ++k) {
    const int r = last - length + k;
    winlo[r - 1] = std::max(kWinCentre - k + 1, 1);
    winhi[r - 1] = std::min(kWinCentre + length - k, kWindow);
    outlo[r - 1] = 1;  // one output slot, the residue itself
    outhi[r - 1] = 1;
  }
}

void DataStore::addResidue() {
  if (nta == kMaxResidues)
    throw ConfigError("the data set holds more than " + std::to_string(kMaxResidues) +
                      " residues; residues are numbered in 32 bits");
  try {
    filin.resize(static_cast<std::size_t>(nta + 1) * kColumns, 0.0);
    winlo.push_back(0);
    winhi.push_back(0);
    outlo.push_back(0);
    outhi.push_back(0);
    sscode.push_back(0.0);
    nsscode.push_back(0);
  } catch (const std::bad_alloc&) {
    throw MemoryError("out of memory at residue " + std::to_string(nta + 1) + ": the data set needs " +
                      std::to_string((nta + 1LL) * kBytesPerResidue) + " bytes for " + std::to_string(nta + 1) +
                      " residues");
  }
  ++nta;
}

}  // namespace kelvor
