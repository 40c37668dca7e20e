// The three values the angle network predicts, in the encoded units it learns them in (the
// residue's columns 28, 29 and 30) and in degrees and square angstrom.
//
//   output 1  area    column 28 = (area / maximum of the letter - 0.5) * 2
//   output 2  first   column 29 = angle / 180
//   output 3  second  column 30: the angle's circle turned so that its seam lies near -130
//                     degrees, then mapped to -1..1
// An angle of exactly 0.0 in a prediction file stands for "undefined" (chain ends and breaks).
#pragma once

#include <array>

#include "dataset/store.h"

namespace kelvor::angles {

constexpr int kArea = 0, kFirst = 1, kSecond = 2;
constexpr std::array<const char*, 3> kValueNames{"area", "first angle", "second angle"};

// Encoded column -> degrees (first angle: -180..180 for -1..1; second angle: the inverse of the
// seam shift, -180..180).
double firstAngleDegrees(double column);
double secondAngleDegrees(double column);
// Encoded column -> area, with the surface-area maximum the encoder used for the residue (0: the
// encoder had none and wrote 0, and the area is given as 0).
double areaSquareAngstrom(double column, double maximum);

// What the encoder writes into column 30 for a second angle (the first is angle / 180).
double secondAngleColumn(double degrees);

// |a - b| on the circle, 0..180.
double circularDifference(double a, double b);

// The residue letter whose seven parameters (columns 1-7) a row holds: one of the twenty standard
// letters, or 0 for any other (B and Z read as D and E, whose parameters they share).
char letterOfRow(const DataStore& store, int r);

}  // namespace kelvor::angles
