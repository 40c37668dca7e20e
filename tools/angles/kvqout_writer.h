// The prediction file of a chain (kvqout/N.kvqout) from the angle network's outputs, in the
// layout the trainer reads: a header line, then per residue
//   index  letter  -  first-angle  second-angle  0 0 0 0 0  area
// (the class unknown, the five numbers the trainer does not use 0). Angles in degrees, the area
// in square angstrom, each with four decimals.
#pragma once

#include <string>

#include "dataset/encoding.h"

namespace kelvor::angles {

// Decodes outputs (three per residue: area, first angle, second angle, encoded) into the file's
// text. The area is decoded with the maximum the encoder will use for each letter, carried in
// `areaMax` from residue to residue and chain to chain (a letter without a maximum of its own
// takes the one before it; with none yet, the area is written 0). The first residue's first
// angle and the last residue's second angle, undefined in every observed structure, are written
// 0.0 as the files the network learned from hold them; no other angle is written as 0.0.
std::string predictionFileText(const std::string& residues, const double* outputs, double& areaMax);

}  // namespace kelvor::angles
