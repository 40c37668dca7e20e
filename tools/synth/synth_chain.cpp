#include "tools/synth/synth_chain.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kelvor::synth {
namespace {

// Profile columns in the order of the matrices' header.
constexpr char kColumns[] = "ARNDCQEGHILKMFPSTWYV";
// Letters each class favours, drawn half of the time; the rest is uniform over the 20.
constexpr const char* kFavoured[3] = {"VIYFWTCV", "GPNDSGTK", "ALEKMQRL"};  // strand, coil, helix
constexpr char kClassLetter[3] = {'E', 'C', 'H'};
// Largest surface areas by letter, in the order of kColumns.
constexpr int kArea[20] = {169, 271, 188, 183, 139, 215, 286, 136, 238, 210,
                           221, 257, 236, 221, 170, 181, 192, 260, 250, 171};

int columnOf(char letter) { return static_cast<int>(std::find(kColumns, kColumns + 20, letter) - kColumns); }

// The next run: its class and length. Coil separates the runs of helix and strand.
void nextRun(Random& random, int previous, int& cls, int& length) {
  if (previous != 1) {
    cls = 1;
    length = random.between(2, 12);
  } else if (random.uniform() < 0.6) {
    cls = 2;
    length = random.between(5, 22);
  } else {
    cls = 0;
    length = random.between(3, 10);
  }
}

double clampAngle(double a) { return a > 180.0 ? a - 360.0 : a < -180.0 ? a + 360.0 : a; }

void append(std::string& to, const char* format, auto... values) {
  char buffer[160];
  const int n = std::snprintf(buffer, sizeof buffer, format, values...);
  to.append(buffer, static_cast<std::size_t>(std::min<int>(n, sizeof buffer - 1)));
}

}  // namespace

void makeChain(Random& random, int length, ChainTexts& out) {
  out.dssp.clear();
  out.profile.clear();
  out.prediction.clear();
  out.profile +=
      "\nLast position-specific scoring matrix computed, weighted observed percentages rounded down, information "
      "per position, and relative weight of gapless real matches to pseudocounts\n"
      "            A   R   N   D   C   Q   E   G   H   I   L   K   M   F   P   S   T   W   Y   V   A   R   N   D"
      "   C   Q   E   G   H   I   L   K   M   F   P   S   T   W   Y   V\n";
  out.prediction += "# index aa ss phi psi tco kappa alpha xca yca asa\n";

  const int offset = random.between(1, 40);
  const char chain = static_cast<char>('A' + random.between(0, 3));
  int cls = 0, left = 0, previous = 0;
  double x = 0.0, y = 0.0;
  for (int k = 1; k <= length; ++k) {
    if (left == 0) {
      nextRun(random, previous, cls, left);
      previous = cls;
    }
    --left;
    const char letter = random.uniform() < 0.5 ? kFavoured[cls][random.between(0, 7)] : kColumns[random.between(0, 19)];
    const int own = columnOf(letter);

    append(out.dssp, "%d %c %c %c\n", offset + k - 1, letter, chain, kClassLetter[cls]);

    // Log-odds: high for the own letter, a few related letters mildly positive.
    int score[20], share[20], total = 0;
    for (int c = 0; c < 20; ++c) {
      score[c] =
          c == own ? random.between(4, 9) : std::clamp(static_cast<int>(std::lround(random.bell() * 2.0 - 2.5)), -8, 4);
      share[c] = score[c] > 0 ? score[c] * random.between(1, 6) : 0;
      total += share[c];
    }
    append(out.profile, "%5d %c  ", k, letter);
    for (int c = 0; c < 20; ++c) append(out.profile, " %3d", score[c]);
    for (int c = 0; c < 20; ++c) append(out.profile, " %3d", total > 0 ? share[c] * 100 / total : 0);
    append(out.profile, "  %.2f %.2f\n", 0.3 + 1.5 * random.uniform(), 0.2 + 0.6 * random.uniform());

    double phi, psi;
    if (cls == 2) {
      phi = -63.0 + 8.0 * random.bell();
      psi = -42.0 + 8.0 * random.bell();
    } else if (cls == 0) {
      phi = -120.0 + 18.0 * random.bell();
      psi = 130.0 + 18.0 * random.bell();
    } else if (random.uniform() < 0.15) {
      phi = 75.0 + 15.0 * random.bell();
      psi = 20.0 + 25.0 * random.bell();
    } else {
      phi = -90.0 + 40.0 * random.bell();
      psi = 60.0 + 90.0 * random.bell();
    }
    phi = k == 1 ? 0.0 : clampAngle(phi);
    psi = k == length ? 360.0 : clampAngle(psi);
    const double buried = std::clamp(0.5 + 0.35 * random.bell(), 0.0, 1.05);
    const double area = std::floor(kArea[own] * buried);
    x += 3.8 * (random.uniform() - 0.5);
    y += 3.8 * (random.uniform() - 0.5);
    append(out.prediction, "%d %c %c %.1f %.1f %.3f %.1f %.1f %.1f %.1f %.1f\n", k, letter, kClassLetter[cls], phi, psi,
           2.0 * random.uniform() - 1.0, k == 1 || k == length ? 360.0 : 180.0 * random.uniform(),
           k == 1 || k >= length - 1 ? 360.0 : clampAngle(360.0 * random.uniform() - 180.0), x, y, area);
  }
}

}  // namespace kelvor::synth
