#include "tools/angles/kvqout_writer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tools/angles/angle_values.h"

namespace kelvor::angles {
namespace {

// Four decimals; a defined angle never reads back as the 0.0 that stands for an undefined one.
std::string angleText(double degrees) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.4f", degrees);
  if (std::strtod(buf, nullptr) == 0.0) return degrees < 0.0 ? "-0.0001" : "0.0001";
  return buf;
}

// The second angle of an output: four decimals that never carry it across the encoding's seam
// (near -130 degrees an angle rounded onto the seam would re-encode at the far end of -1..1).
std::string secondAngleText(double output) {
  double degrees = secondAngleDegrees(output);
  std::string text = angleText(degrees);
  if (std::fabs(secondAngleColumn(std::strtod(text.c_str(), nullptr)) - output) > 1.0) {
    degrees += output < 0.0 ? 0.0001 : -0.0001;
    text = angleText(degrees);
  }
  return text;
}

}  // namespace

std::string predictionFileText(const std::string& residues, const double* outputs, double& areaMax) {
  std::string text = "# index aa ss phi psi tco kappa alpha xca yca asa (predicted by kelvor-angles)\n";
  const int n = static_cast<int>(residues.size());
  for (int i = 0; i < n; ++i) {
    const double* o = outputs + 3 * static_cast<std::size_t>(i);
    const double own = asamax(residues[i]);
    if (own > 0.0) areaMax = own;
    const std::string first = i == 0 ? "0.0" : angleText(firstAngleDegrees(o[kFirst]));
    const std::string second = i == n - 1 ? "0.0" : secondAngleText(o[kSecond]);
    char area[32];
    std::snprintf(area, sizeof area, "%.4f", areaSquareAngstrom(o[kArea], areaMax));
    text += std::to_string(i + 1) + ' ' + residues[i] + " - " + first + ' ' + second + " 0 0 0 0 0 " + area + '\n';
  }
  return text;
}

}  // namespace kelvor::angles
