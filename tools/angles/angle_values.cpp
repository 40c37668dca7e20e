#include "tools/angles/angle_values.h"

#include <cmath>
#include <cstring>

#include "dataset/encoding.h"

namespace kelvor::angles {

double firstAngleDegrees(double column) { return column * 180.0; }

// The encoder: x = (a + 180) / 360; x - 0.1389 above 0.1389, else x + 0.8611; column (x - 0.5) * 2.
double secondAngleDegrees(double column) {
  const double y = column / 2.0 + 0.5;
  const double x = y <= 0.8611 ? y + 0.1389 : y - 0.8611;
  return x * 360.0 - 180.0;
}

double secondAngleColumn(double degrees) {
  double x = (degrees + 180.0) / 360.0;
  if (x > 0.1389)
    x = x - 0.1389;
  else
    x = x + 0.8611;
  return (x - 0.5) * 2.0;
}

double areaSquareAngstrom(double column, double maximum) {
  return maximum > 0.0 ? (column / 2.0 + 0.5) * maximum : 0.0;
}

double circularDifference(double a, double b) {
  double d = std::fmod(std::fabs(a - b), 360.0);
  return d > 180.0 ? 360.0 - d : d;
}

char letterOfRow(const DataStore& store, int r) {
  static const Encoder encoder;
  static constexpr char kStandard[] = "RKDENQHYWSTGPAMCFLVI";
  for (const char* c = kStandard; *c; ++c) {
    bool same = true;
    for (int k = 1; k <= 7 && same; ++k) {
      const double v = encoder.parameter(*c, k) / 0.9;
      same = std::memcmp(&v, &store.row(r)[k - 1], sizeof v) == 0;
    }
    if (same) return *c;
  }
  return 0;
}

}  // namespace kelvor::angles
