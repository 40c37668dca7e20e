#include "tests/support/synthetic_store.h"

#include <algorithm>

namespace kelvor::test {

void fillSyntheticStore(DataStore& s, const std::vector<int>& lengths, unsigned seed) {
  s.wincen = 11;
  s.outcen = 1;
  for (int n : lengths) {
    for (int k = 1; k <= n; ++k) {
      s.addResidue();
      const int r = s.nta;
      for (int f = 1; f <= 30; ++f) {
        seed = seed * 1103515245u + 12345u;
        s.fin(r, f) = static_cast<double>(seed >> 8) / 16777216.0 * 2.0 - 1.0;
      }
      const int cls = static_cast<int>((seed >> 4) % 3);
      for (int c = 0; c < 3; ++c) s.fin(r, 33 + c) = c == cls ? 1.0 : -1.0;
      s.fin(r, 36) = cls == 0 ? -0.6 : cls == 1 ? -0.2 : 0.5;
      s.winlo[r - 1] = std::max(12 - k, 1);
      s.winhi[r - 1] = std::min(11 + n - k, 21);
      s.outlo[r - 1] = s.outhi[r - 1] = 1;
    }
  }
}

}  // namespace kelvor::test
