// Scores of three-state predictions against observed classes: the confusion matrix, Q3,
// per-class accuracy, Matthews correlation and the segment overlap measure SOV'99.
//
// Classes are indexed in the networks' output order: 0 strand (E), 1 coil (C), 2 helix (H).
// Every score is a fraction in 0..1; a score whose denominator is zero is not a number.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace kelvor::predict {

constexpr int kStrand = 0, kCoil = 1, kHelix = 2;
constexpr std::array<char, 3> kClassLetters{'E', 'C', 'H'};

// 0, 1, 2 for 'E', 'C', 'H'; -1 for any other letter.
int classIndex(char letter);

// Rows: observed class, columns: predicted class.
struct Confusion {
  std::array<std::array<long long, 3>, 3> n{};

  void add(int observed, int predicted) { ++n[observed][predicted]; }
  void add(const Confusion& other);
  long long total() const;
  long long correct() const;
  long long observed(int c) const;   // row sum
  long long predicted(int c) const;  // column sum

  double q3() const;                      // correct / total
  double accuracyObserved(int c) const;   // correct c / observed c (the usual Q_c)
  double accuracyPredicted(int c) const;  // correct c / predicted c
  double mcc(int c) const;                // Matthews correlation of class c against the other two
};

// SOV'99 of one chain, kept as sums so that chains can be pooled: for class c,
// score[c] / norm[c] is the chain's SOV of that class, and the sums over the classes give the
// overall SOV. Observed segments of a class with no predicted segment of it add their length to
// norm only; every overlapping (observed, predicted) pair adds the observed segment's length to
// norm and (minov + delta) / maxov times that length to score.
struct SovSums {
  std::array<double, 3> score{};
  std::array<double, 3> norm{};

  void add(const SovSums& other);
  double overall() const;
  double ofClass(int c) const;
};

// Both strings hold one letter E, C or H per residue and have the same length.
SovSums sov99(std::string_view observed, std::string_view predicted);

// The scores of one stage over many chains.
struct StageTally {
  Confusion confusion;
  SovSums sov;
  double q3Sum = 0.0, sovSum = 0.0;  // sums of the per-chain scores
  int q3Chains = 0, sovChains = 0;   // chains that had a score

  // Adds one chain; returns its Q3 and overall SOV (not a number for an empty chain).
  std::pair<double, double> addChain(std::string_view observed, std::string_view predicted);
  double q3PerChain() const;
  double sovPerChain() const;
};

}  // namespace kelvor::predict
