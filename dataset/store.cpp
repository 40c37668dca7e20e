#include "dataset/store.h"

namespace kelvor {

void DataStore::addResidue() {
  ++nta;
  filin.resize(static_cast<std::size_t>(nta) * kColumns, 0.0);
  winlo.push_back(0);
  winhi.push_back(0);
  outlo.push_back(0);
  outhi.push_back(0);
  sscode.push_back(0.0);
  nsscode.push_back(0);
}

}  // namespace kelvor
