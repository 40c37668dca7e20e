#include "dataset/encoding.h"

#include <cstring>

namespace kelvor {
namespace {

constexpr char kAlphabet[] = "RKDENQHYWSTGPAMCFLVIBZ";

// Physico-chemical parameters P1..P7 per alphabet letter, as single-precision values.
constexpr float kPhysp[22][7] = {
    {0.105f, 0.373f, 0.466f, -0.9f, 0.9f, 0.528f, -0.371f},           // R
    {-0.088f, 0.066f, 0.163f, -0.889f, 0.727f, 0.279f, -0.265f},      // K
    {-0.213f, -0.417f, -0.281f, -0.767f, -0.9f, -0.155f, -0.635f},    // D
    {-0.23f, -0.241f, -0.058f, -0.696f, -0.868f, 0.9f, -0.582f},      // E
    {-0.213f, -0.329f, -0.243f, -0.674f, -0.075f, -0.403f, -0.529f},  // N
    {-0.23f, -0.11f, -0.02f, -0.464f, -0.276f, 0.528f, -0.371f},      // Q
    {0.384f, 0.11f, 0.138f, -0.271f, 0.195f, -0.031f, -0.106f},       // H
    {0.363f, 0.417f, 0.541f, 0.188f, -0.274f, -0.155f, 0.476f},       // Y
    {0.479f, 0.9f, 0.9f, 0.9f, -0.209f, 0.279f, 0.529f},              // W
    {-0.337f, -0.637f, -0.544f, -0.364f, -0.265f, -0.466f, -0.212f},  // S
    {0.402f, -0.417f, -0.321f, -0.199f, -0.288f, -0.403f, 0.212f},    // T
    {-0.9f, -0.9f, -0.9f, -0.342f, -0.179f, -0.9f, -0.9f},            // G
    {0.247f, -0.9f, -0.294f, 0.055f, -0.01f, -0.9f, 0.106f},          // P
    {-0.35f, -0.68f, -0.677f, -0.171f, -0.17f, 0.9f, -0.476f},        // A
    {0.11f, 0.066f, 0.087f, 0.337f, -0.262f, 0.652f, -0.001f},        // M
    {-0.14f, -0.329f, -0.359f, 0.508f, -0.114f, -0.652f, 0.476f},     // C
    {0.363f, 0.373f, 0.412f, 0.646f, -0.272f, 0.155f, 0.318f},        // F
    {0.213f, -0.066f, -0.009f, 0.596f, -0.186f, 0.714f, -0.053f},     // L
    {0.677f, -0.285f, -0.232f, 0.331f, -0.191f, -0.031f, 0.9f},       // V
    {0.9f, -0.066f, -0.009f, 0.652f, -0.186f, 0.155f, 0.688f},        // I
    {-0.213f, -0.417f, -0.281f, -0.767f, -0.9f, -0.155f, -0.635f},    // B (as D)
    {-0.23f, -0.241f, -0.058f, -0.696f, -0.868f, 0.9f, -0.582f},      // Z (as E)
};

int code(char c) { return static_cast<int>(static_cast<unsigned char>(c)); }

}  // namespace

double asamax(char letter) {
  switch (letter) {
    case 'R':
      return 271;
    case 'K':
      return 257;
    case 'D':
      return 183;
    case 'E':
      return 286;
    case 'N':
      return 188;
    case 'Q':
      return 215;
    case 'H':
      return 238;
    case 'Y':
      return 250;
    case 'W':
      return 260;
    case 'S':
      return 181;
    case 'T':
      return 192;
    case 'G':
      return 136;
    case 'P':
      return 170;
    case 'A':
      return 169;
    case 'M':
      return 236;
    case 'C':
      return 139;
    case 'F':
      return 221;
    case 'L':
      return 221;
    case 'V':
      return 171;
    case 'I':
      return 210;
    default:
      return 0.0;
  }
}

bool structureClass(char ss, double& code, std::array<double, 3>& vec) {
  switch (ss) {
    case 'E':
      code = -0.6;
      vec = {1.0, -1.0, -1.0};
      return true;
    case 'C':
      code = -0.2;
      vec = {-1.0, 1.0, -1.0};
      return true;
    case 'H':
      code = 0.5;
      vec = {-1.0, -1.0, 1.0};
      return true;
    default:
      return false;
  }
}

Encoder::Encoder() {
  for (int a = 0; a < 22; ++a)
    for (int k = 0; k < 7; ++k) sevec[code(kAlphabet[a])][k] = static_cast<double>(kPhysp[a][k]);
}

double Encoder::parameter(char letter, int k) const {
  int c = code(letter);
  if (c < 1 || c > 90) return 0.0;
  return sevec[c][k - 1];
}

bool Encoder::encode(DataStore& store, int r, char aa, char ss, const double profile[20], double angle1, double angle2,
                     double area) {
  for (int k = 1; k <= 7; ++k) store.fin(r, k) = parameter(aa, k) / 0.9;
  for (int k = 1; k <= 20; ++k) store.fin(r, 7 + k) = profile[k - 1] / 9.0;
  // A letter without a maximum of its own keeps the maximum of the residue before it; before
  // any standard residue there is none, and the relative area is then 0, the middle of the scale.
  const double own = asamax(aa);
  if (own > 0.0) asamaxInEffect = own;
  store.fin(r, 28) = asamaxInEffect > 0.0 ? (area / asamaxInEffect - 0.5) * 2.0 : 0.0;
  store.fin(r, 29) = angle1 / 180.0;
  double x = (angle2 + 180.0) / 360.0;
  if (x > 0.1389)
    x = x - 0.1389;
  else
    x = x + 0.8611;
  store.fin(r, 30) = (x - 0.5) * 2.0;

  double cls = 0.0;
  std::array<double, 3> vec{};
  if (!structureClass(ss, cls, vec)) return false;
  store.fin(r, 33) = vec[0];
  store.fin(r, 34) = vec[1];
  store.fin(r, 35) = vec[2];
  store.fin(r, 36) = cls;
  return true;
}

}  // namespace kelvor
