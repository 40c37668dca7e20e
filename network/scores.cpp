#include "network/scores.h"

#include <cmath>

namespace kelvor {

void initphi(DataStore& store) {
  for (int i = 1; i <= store.nta; ++i) {
    store.sscode[i - 1] = 0.0;
    store.nsscode[i - 1] = 0;
  }
}

void calcerr(DataStore& store, int first, int last) {
  double count = 0.0;
  for (int i = first; i <= last; ++i)
    if (!(std::fabs(store.sscode[i - 1] - store.fin(i, 36)) > 0.1)) count += 1.0;
  store.score() = count / static_cast<double>(last - first + 1);
}

}  // namespace kelvor
