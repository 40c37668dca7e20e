#include "network/netinit.h"

#include <cmath>
#include <string>

#include "ground/errors.h"

namespace kelvor {
namespace {
// Single-precision constants of the seed formula, widened to double.
constexpr double kHourScale = static_cast<double>(1.74f);
constexpr double kMinuteScale = static_cast<double>(4.35f);
constexpr double kSecondScale = static_cast<double>(2.8f);
constexpr double k2to31 = 2147483648.0;

double q(double dcay, double d) { return dcay / std::sqrt(1.0 + d * d); }
}  // namespace

double randnm(int& seed) {
  long long a = seed;
  if (a <= 0) a += 2147483647LL;
  seed = static_cast<int>((16807LL * a) % 2147483647LL);
  return static_cast<double>(a) / 2147483711.0;
}

std::optional<int> seedFromTime(int offset, const TimeOfDay& t) {
  const double a = static_cast<double>(static_cast<float>(t[0] / kHourScale));
  const double b = static_cast<double>(static_cast<float>(t[1] / kMinuteScale));
  const double e = std::exp(t[2] / kSecondScale);
  const int k = static_cast<int>(std::trunc(e)) % 61;
  const double kq = k / kSecondScale;
  double sum = static_cast<double>(offset);
  sum = sum + std::exp(a);
  sum = sum + std::exp(b);
  sum = sum + std::exp(kq);
  if (!(sum > 0.0) || !(sum < k2to31)) return std::nullopt;
  const int l = static_cast<int>(std::trunc(std::log10(sum)));
  int p = 0;
  if (l >= 0) {
    p = 1;
    for (int i = 0; i < l; ++i) p *= 10;
  }
  const int whole = static_cast<int>(std::trunc(sum));
  const double value = kq + std::fabs(p * (sum - whole) - sum);
  if (!(value < k2to31)) return std::nullopt;
  return static_cast<int>(std::trunc(value));
}

void drawWeights(Network& net, int& seed) {
  auto draw = [&](double& w, double& prev) {
    const double r = randnm(seed);
    w = r - 0.5;
    prev = (r - 0.5) / 10.0;
  };
  for (int i = 1; i <= kSlots; ++i)
    for (int f = 1; f <= kFeatures; ++f)
      for (int h = 1; h <= kHidden; ++h) draw(net.wei1[w1(i, f, h)], net.owei1[w1(i, f, h)]);
  for (int m = 1; m <= kHiddenBias; ++m)
    for (int k = 1; k <= kHidden; ++k) draw(net.wei2[w2(m, k)], net.owei2[w2(m, k)]);
  for (int m = 1; m <= kHiddenBias; ++m)
    for (int c = 1; c <= kOutputs; ++c) draw(net.pwei[pw(m, c)], net.pwei[pw(m, c + kOutputs)]);
  for (int i = 1; i <= kSlots; ++i)
    for (int c = 1; c <= kOutputs; ++c)
      for (int h = 1; h <= kFHidden; ++h) draw(net.fwei1[fw1(i, c, h)], net.ofwei1[fw1(i, c, h)]);
  for (int m = 1; m <= kFHiddenBias; ++m)
    for (int c = 1; c <= kOutputs; ++c) draw(net.fwei2[fw2(m, c)], net.ofwei2[fw2(m, c)]);
}

void attenuation(Network& net) {
  const double d = net.dcay;
  for (int i = 1; i <= kWindow; ++i)
    for (int h = 1; h <= kHidden; ++h) net.dcayin[din(i, h)] = q(d, (1 - i) + 0.2 * (h - 1));
  for (int m = 1; m <= kHidden; ++m)
    for (int k = 1; k <= kHidden; ++k)
      net.dcayhid[dhid(m, k)] = d / std::sqrt(1.0 + 0.04000000000000001 * ((m - k) * (m - k)));
  for (int m = 1; m <= kHidden; ++m) net.dcayout[m] = q(d, 0.2 * (m - (kHidden + 1) / 2));
  for (int i = 1; i <= kWindow; ++i)
    for (int h = 1; h <= kFHidden; ++h) net.fdcayin[fdin(i, h)] = q(d, h - i);
  for (int m = 1; m <= kFHidden; ++m) net.fdcayout[m] = q(d, m - (kFHidden + 1) / 2);
}

int netinit(Network& net, DataStore& store, int offset, const TimeOfDay& t) {
  std::optional<int> seed = seedFromTime(offset, t);
  if (!seed)
    throw ConfigError("seed offset " + std::to_string(offset) +
                      " gives no defined random seed at this time of day; allowed: offsets from -2 "
                      "to 100000000");
  store.seed = *seed;

  store.xin(kBiasSlot, 1) = 1.0;
  net.hid2[kHiddenBias] = 1.0;
  net.hid1[kHiddenBias] = 1.0;
  net.fhid[kFHiddenBias] = 1.0;

  drawWeights(net, store.seed);
  attenuation(net);
  return *seed;
}

}  // namespace kelvor
