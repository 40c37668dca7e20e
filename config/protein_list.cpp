#include "config/protein_list.h"

#include "config/defaults.h"
#include "ground/errors.h"
#include "ground/freeform_writer.h"
#include "ground/output.h"

namespace kelvor {

long long blockTop(int k, double fraction, int n) {
  const double x = (k * fraction) * n;
  if (!(x > -1e15 && x < 1e15)) return x > 0 ? 1000000000000000LL : -1000000000000000LL;
  return static_cast<long long>(x >= 0.0 ? x + 0.5 : x - 0.5);
}

bool foldUsable(int k, double fraction, int n, int t) {
  const long long hi = blockTop(k, fraction, n);
  return (t <= hi && hi <= n) || hi <= 0 || hi >= static_cast<long long>(n) + t;
}

void plst(int n, int m, int t, int k, double fraction, std::vector<int>& order) {
  if (m + t != n) {
    writeStdout(Line().text("Problem generating protein list").str());
    throw DataStop("Problem generating protein list");
  }
  const long long hi = blockTop(k, fraction, n);
  const long long lo = hi - t;
  if (n < 1) return;
  if (static_cast<int>(order.size()) < n) order.resize(n, 0);
  int front = 1;
  int back = m + 1;
  for (int j = 1; j <= n; ++j) {
    if (lo < j && j <= hi)
      order[back++ - 1] = j;
    else
      order[front++ - 1] = j;
  }
}

}  // namespace kelvor
