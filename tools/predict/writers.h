// The files kelvor-predict writes: per chain a vertical and a horizontal prediction file, and
// the score report in plain text and JSON.
//
// Vertical file (<chain>.vertical): comment lines starting with "#", a blank line, then one line
// per residue: position (1-based), residue letter, predicted class (H, E or C), and the three
// filter outputs for C, H and E, each mapped from the network's -1..1 to 0..1 as (o + 1) / 2:
//      1 N C   0.912  0.044  0.031
// Horizontal file (<chain>.horizontal): comment lines, then blocks of 60 residues, each with a
// "Conf:" line of confidence digits, a "Pred:" line of classes, an "  AA:" line of residue
// letters and a ruler. The confidence digit of a residue is floor(10 * (p1 - p2)) capped at 9,
// p1 being the mapped output of the predicted class and p2 the larger of the other two.
#pragma once

#include <string>
#include <vector>

#include "tools/predict/class_scores.h"
#include "tools/predict/protein_input.h"

namespace kelvor::predict {

std::string toolVersion();  // "1.0.0"

// Per-residue predictions of one chain: filter outputs (3 per residue, E C H order) and the
// predicted class of each residue (0 E, 1 C, 2 H).
struct ChainPrediction {
  const Chain* chain = nullptr;
  const double* filter = nullptr;  // chain->length * 3 values
  std::vector<int> classes;
  int weightSets = 1;
};

// (o + 1) / 2.
double toUnit(double output);
// The confidence digit 0..9 of three outputs and the class decided for them.
int confidenceDigit(const double* outputs, int predicted);

std::string verticalText(const ChainPrediction& p);
std::string horizontalText(const ChainPrediction& p);

// Letters of classes 0 E, 1 C, 2 H.
std::string classString(const std::vector<int>& classes);

struct ChainScores {
  std::string name;
  int residues = 0;
  double q3[2]{}, sov[2]{};  // first stage, filter
};

struct ScoreReport {
  std::vector<std::string> weightDirs;
  int chains = 0;       // chains predicted
  int unlabelled = 0;   // of them, without a DSSP-data file
  StageTally stage[2];  // first stage, filter
  std::vector<ChainScores> scored;
};

std::string reportText(const ScoreReport& r);
std::string reportJson(const ScoreReport& r);

}  // namespace kelvor::predict
