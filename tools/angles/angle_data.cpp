#include "tools/angles/angle_data.h"

#include <cstring>

#include "dataset/encoding.h"
#include "tools/angles/angle_values.h"

namespace kelvor::angles {
namespace {
bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
}  // namespace

void makeAngleTargets(DataStore& store) {
  const double undefinedSecond = secondAngleColumn(0.0);
  for (int r = 1; r <= store.nta; ++r) {
    const double area = store.fin(r, 28), first = store.fin(r, 29), second = store.fin(r, 30);
    int silent = 0;
    if (first == 0.0) silent |= 1 << kFirst;  // 0.0 / 180
    if (sameBits(second, undefinedSecond)) silent |= 1 << kSecond;
    store.fin(r, 33) = area;
    store.fin(r, 34) = first;
    store.fin(r, 35) = second;
    store.fin(r, kSilentColumn) = silent;
    store.fin(r, 28) = 0.0;
    store.fin(r, 29) = 0.0;
    store.fin(r, 30) = 0.0;
  }
}

std::vector<double> areaMaxima(const DataStore& store) {
  std::vector<double> maxima(static_cast<std::size_t>(store.nta), 0.0);
  double inEffect = 0.0;
  for (int r = 1; r <= store.nta; ++r) {
    const char letter = letterOfRow(store, r);
    const double own = letter ? asamax(letter) : 0.0;
    if (own > 0.0) inEffect = own;
    maxima[r - 1] = inEffect;
  }
  return maxima;
}

}  // namespace kelvor::angles
