// The values the angle network learns and writes: decoding is the encoder's inverse, the data
// set's targets and silent outputs come from the right columns, and a written prediction file
// reads back through the trainer's own reader to the outputs it was written from.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "dataset/encoding.h"
#include "dataset/setio.h"
#include "tests/support/test_support.h"
#include "tools/angles/angle_data.h"
#include "tools/angles/angle_scores.h"
#include "tools/angles/angle_values.h"
#include "tools/angles/kvqout_writer.h"

namespace fs = std::filesystem;

namespace kelvor::angles {
namespace {

// Encodes one residue with the trainer's encoder; returns its columns 28, 29, 30.
std::array<double, 3> encoded(char aa, double first, double second, double area) {
  DataStore s;
  s.addResidue();
  Encoder e;
  const double profile[20] = {};
  e.encode(s, 1, aa, 'C', profile, first, second, area);
  return {s.fin(1, 28), s.fin(1, 29), s.fin(1, 30)};
}

TEST(AngleValues, DecodingInvertsTheEncoderAllRoundTheCircle) {
  for (double a = -180.0; a <= 180.0; a += 0.7) {
    const std::array<double, 3> col = encoded('L', a, a, 0.37 * (a + 180.0));
    EXPECT_NEAR(firstAngleDegrees(col[1]), a, 1e-9) << a;
    EXPECT_NEAR(circularDifference(secondAngleDegrees(col[2]), a), 0.0, 1e-9) << a;
    EXPECT_NEAR(areaSquareAngstrom(col[0], asamax('L')), 0.37 * (a + 180.0), 1e-9) << a;
    EXPECT_EQ(secondAngleColumn(a), col[2]) << a;  // the same bits as the encoder
  }
  // Near the seam at about -130 degrees both sides come back.
  for (double a : {-130.2, -129.996, -129.9, 179.99, -179.99})
    EXPECT_NEAR(circularDifference(secondAngleDegrees(secondAngleColumn(a)), a), 0.0, 1e-9) << a;
  // Every output the network can give decodes to an angle on the circle.
  for (double v = -0.999; v < 1.0; v += 0.001) {
    EXPECT_GE(secondAngleDegrees(v), -180.0 - 1e-9);
    EXPECT_LE(secondAngleDegrees(v), 180.0 + 1e-9);
  }
}

TEST(AngleValues, CircularDifferencesAndTheLetterOfARow) {
  EXPECT_DOUBLE_EQ(circularDifference(170.0, -170.0), 20.0);
  EXPECT_DOUBLE_EQ(circularDifference(-90.0, 90.0), 180.0);
  EXPECT_DOUBLE_EQ(circularDifference(10.0, 30.0), 20.0);
  DataStore s;
  Encoder e;
  const double profile[20] = {};
  const std::string letters = "RKDENQHYWSTGPAMCFLVIXB";
  for (char c : letters) {
    s.addResidue();
    e.encode(s, s.nta, c, 'C', profile, 0, 0, 0);
  }
  for (std::size_t i = 0; i < 20; ++i) EXPECT_EQ(letterOfRow(s, static_cast<int>(i) + 1), letters[i]);
  EXPECT_EQ(letterOfRow(s, 21), 0);    // X: no parameters
  EXPECT_EQ(letterOfRow(s, 22), 'D');  // B shares D's parameters
}

TEST(AngleData, TargetsMoveOutOfTheInputsAndUndefinedAnglesFallSilent) {
  DataStore s;
  Encoder e;
  const double profile[20] = {1, 2, 3};
  struct In {
    double first, second, area;
  };
  const std::vector<In> in = {{0.0, 120.5, 80.0}, {-60.0, -45.0, 10.0}, {-70.0, 0.0, 0.0}, {0.0, 0.0, 221.0}};
  for (const In& r : in) {
    s.addResidue();
    e.encode(s, s.nta, 'L', 'H', profile, r.first, r.second, r.area);
  }
  const DataStore encoded = s;
  makeAngleTargets(s);
  const std::vector<int> silent = {1 << kFirst, 0, 1 << kSecond, (1 << kFirst) | (1 << kSecond)};
  for (int r = 1; r <= s.nta; ++r) {
    EXPECT_EQ(s.fin(r, 33), encoded.fin(r, 28));
    EXPECT_EQ(s.fin(r, 34), encoded.fin(r, 29));
    EXPECT_EQ(s.fin(r, 35), encoded.fin(r, 30));
    EXPECT_EQ(s.fin(r, 28), 0.0);
    EXPECT_EQ(s.fin(r, 29), 0.0);
    EXPECT_EQ(s.fin(r, 30), 0.0);
    EXPECT_EQ(s.fin(r, 8), encoded.fin(r, 8));
    EXPECT_EQ(static_cast<int>(s.fin(r, kSilentColumn)), silent[r - 1]) << r;
  }
  // Errors leave silent outputs out: outputs equal to the targets except where silent.
  std::vector<double> out;
  for (int r = 1; r <= s.nta; ++r)
    for (int c = 0; c < 3; ++c) out.push_back(learns(s, r, c) ? s.fin(r, 33 + c) : 9.0);
  const ScaledErrors err = scaledErrors(s, out, 1, s.nta);
  EXPECT_EQ(err.mae[kArea], 0.0);
  EXPECT_EQ(err.mae[kFirst], 0.0);
  EXPECT_EQ(err.mae[kSecond], 0.0);
  EXPECT_EQ(err.count[kArea], 4);
  EXPECT_EQ(err.count[kFirst], 2);
  EXPECT_EQ(err.count[kSecond], 2);
}

TEST(AngleScores, ErrorsInDegreesTakeTheShortWayAndTheLetterMeanIsTheTrainingMean) {
  DataStore s;
  Encoder e;
  const double profile[20] = {};
  // Two G residues (training part), then one G whose first angle lies across the +-180 seam.
  for (double a : {100.0, 120.0, 179.0}) {
    s.addResidue();
    e.encode(s, s.nta, 'G', 'C', profile, a, 50.0, 68.0);
  }
  makeAngleTargets(s);
  std::vector<double> out(9, 0.0);
  out[2 * 3 + kFirst] = -179.0 / 180.0;  // 2 degrees from 179 the short way
  out[2 * 3 + kSecond] = secondAngleColumn(50.0);
  out[2 * 3 + kArea] = s.fin(3, 33);
  const std::vector<double> maxima = areaMaxima(s);
  EXPECT_EQ(maxima[2], 136.0);
  const ValueErrors v = valueErrors(s, out, maxima, 3, 3);
  EXPECT_NEAR(v.firstDegrees, 2.0, 1e-9);
  EXPECT_NEAR(v.secondDegrees, 0.0, 1e-9);
  EXPECT_NEAR(v.areaSquareAngstrom, 0.0, 1e-12);
  const std::vector<double> mean = LetterMeans(s, 1, 2).predict(s);
  EXPECT_NEAR(firstAngleDegrees(mean[2 * 3 + kFirst]), 110.0, 1e-9);
}

// A written file, read by the trainer's reader beside a DSSP-data and a profile file: the
// residue letters agree and columns 28-30 come back within the text's four decimals.
TEST(PredictionFile, TheTrainersReaderTakesItAndGetsTheOutputsBack) {
  test::ScratchDir dir;
  const std::vector<std::string> names = test::copyExampleChains(dir.path(), 1);
  DataStore original;
  original.nprot = original.ntrain = original.ntrval = 1;
  original.pname = {names[0]};
  setio(original, dir.path().string() + "/");
  const int n = original.nta;
  ASSERT_GT(n, 30);
  std::string residues;
  for (int r = 1; r <= n; ++r) residues += letterOfRow(original, r);
  std::vector<double> outputs;
  for (int r = 1; r <= n; ++r)
    for (double v : {std::sin(r * 0.7) * 0.95, std::cos(r * 1.3) * 0.99, std::sin(r * 2.1) * 0.999})
      outputs.push_back(v);
  outputs[3 * 5 + kFirst] = 1e-7;          // would print as 0.0000: never written as the undefined 0.0
  outputs[3 * 6 + kSecond] = -0.99999999;  // within the last decimal of the seam, from either side
  outputs[3 * 7 + kSecond] = 0.99999999;
  double areaMax = 0.0;
  test::writeFile(dir.file("kvqout/" + names[0] + ".kvqout"), predictionFileText(residues, outputs.data(), areaMax));

  DataStore back;
  back.nprot = back.ntrain = back.ntrval = 1;
  back.pname = {names[0]};
  setio(back, dir.path().string() + "/");
  ASSERT_EQ(back.nta, n);
  for (int r = 1; r <= n; ++r) {
    const double* o = outputs.data() + 3 * (r - 1);
    EXPECT_NEAR(back.fin(r, 28), o[kArea], 1e-6) << r;
    const double first = r == 1 ? 0.0 : o[kFirst], second = r == n ? secondAngleColumn(0.0) : o[kSecond];
    EXPECT_NEAR(back.fin(r, 29), first, 1e-6) << r;
    EXPECT_NEAR(back.fin(r, 30), second, 1e-6) << r;
    EXPECT_TRUE(std::isfinite(back.fin(r, 28)));
  }
  EXPECT_NE(back.fin(6, 29), 0.0);
}

}  // namespace
}  // namespace kelvor::angles
