#include "tools/angles/angle_scores.h"

#include <cmath>
#include <limits>

#include "tools/angles/angle_data.h"
#include "tools/angles/angle_values.h"

namespace kelvor::angles {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double output(const std::vector<double>& outputs, int r, int c) {
  return outputs[static_cast<std::size_t>(r - 1) * 3 + c];
}
double target(const DataStore& store, int r, int c) { return store.fin(r, 33 + c); }

double pearson(const std::vector<double>& x, const std::vector<double>& y) {
  const double n = static_cast<double>(x.size());
  if (x.size() < 2) return kNaN;
  double mx = 0.0, my = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) mx += x[i], my += y[i];
  mx /= n;
  my /= n;
  double sxy = 0.0, sxx = 0.0, syy = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    sxy += (x[i] - mx) * (y[i] - my);
    sxx += (x[i] - mx) * (x[i] - mx);
    syy += (y[i] - my) * (y[i] - my);
  }
  return sxx > 0.0 && syy > 0.0 ? sxy / std::sqrt(sxx * syy) : kNaN;
}

}  // namespace

ScaledErrors scaledErrors(const DataStore& store, const std::vector<double>& outputs, int first, int last) {
  ScaledErrors e;
  std::array<double, 3> sum{};
  for (int r = first; r <= last; ++r)
    for (int c = 0; c < 3; ++c)
      if (learns(store, r, c)) {
        sum[c] += std::fabs(output(outputs, r, c) - target(store, r, c));
        ++e.count[c];
      }
  for (int c = 0; c < 3; ++c) e.mae[c] = e.count[c] > 0 ? sum[c] / static_cast<double>(e.count[c]) : kNaN;
  return e;
}

ValueErrors valueErrors(const DataStore& store, const std::vector<double>& outputs, const std::vector<double>& maxima,
                        int first, int last) {
  ValueErrors v;
  double s1 = 0.0, s2 = 0.0, sa = 0.0;
  long n1 = 0, n2 = 0;
  std::vector<double> predicted, observed;
  for (int r = first; r <= last; ++r) {
    ++v.residues;
    if (learns(store, r, kFirst)) {
      s1 += circularDifference(firstAngleDegrees(output(outputs, r, kFirst)),
                               firstAngleDegrees(target(store, r, kFirst)));
      ++n1;
    }
    if (learns(store, r, kSecond)) {
      s2 += circularDifference(secondAngleDegrees(output(outputs, r, kSecond)),
                               secondAngleDegrees(target(store, r, kSecond)));
      ++n2;
    }
    sa += std::fabs(areaSquareAngstrom(output(outputs, r, kArea), maxima[r - 1]) -
                    areaSquareAngstrom(target(store, r, kArea), maxima[r - 1]));
    predicted.push_back(output(outputs, r, kArea));
    observed.push_back(target(store, r, kArea));
  }
  v.firstDegrees = n1 > 0 ? s1 / static_cast<double>(n1) : kNaN;
  v.secondDegrees = n2 > 0 ? s2 / static_cast<double>(n2) : kNaN;
  v.areaSquareAngstrom = v.residues > 0 ? sa / v.residues : kNaN;
  v.areaCorrelation = pearson(predicted, observed);
  return v;
}

LetterMeans::LetterMeans(const DataStore& store, int first, int last) {
  std::array<std::array<double, 3>, 128> sum{};
  std::array<std::array<long, 3>, 128> count{};
  std::array<double, 3> all{};
  std::array<long, 3> allCount{};
  for (int r = first; r <= last; ++r) {
    const int l = static_cast<unsigned char>(letterOfRow(store, r));
    for (int c = 0; c < 3; ++c)
      if (learns(store, r, c)) {
        sum[l][c] += target(store, r, c);
        ++count[l][c];
        all[c] += target(store, r, c);
        ++allCount[c];
      }
  }
  for (int c = 0; c < 3; ++c) overall_[c] = allCount[c] > 0 ? all[c] / static_cast<double>(allCount[c]) : 0.0;
  for (int l = 0; l < 128; ++l)
    for (int c = 0; c < 3; ++c)
      mean_[l][c] = count[l][c] > 0 ? sum[l][c] / static_cast<double>(count[l][c]) : overall_[c];
}

std::vector<double> LetterMeans::predict(const DataStore& store) const {
  std::vector<double> out(static_cast<std::size_t>(store.nta) * 3);
  for (int r = 1; r <= store.nta; ++r) {
    const int l = static_cast<unsigned char>(letterOfRow(store, r));
    for (int c = 0; c < 3; ++c) out[static_cast<std::size_t>(r - 1) * 3 + c] = mean_[l][c];
  }
  return out;
}

}  // namespace kelvor::angles
