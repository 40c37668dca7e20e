#include "tools/predict/class_scores.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace kelvor::predict {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double ratio(double a, double b) { return b == 0.0 ? kNaN : a / b; }

struct Segment {
  int cls, begin, end;  // residues begin..end, inclusive
  int length() const { return end - begin + 1; }
};

std::vector<Segment> segments(std::string_view s) {
  std::vector<Segment> out;
  for (int i = 0; i < static_cast<int>(s.size()); ++i) {
    const int c = classIndex(s[i]);
    if (!out.empty() && out.back().cls == c && out.back().end == i - 1)
      out.back().end = i;
    else
      out.push_back({c, i, i});
  }
  return out;
}

}  // namespace

int classIndex(char letter) {
  switch (letter) {
    case 'E':
      return kStrand;
    case 'C':
      return kCoil;
    case 'H':
      return kHelix;
    default:
      return -1;
  }
}

void Confusion::add(const Confusion& other) {
  for (int o = 0; o < 3; ++o)
    for (int p = 0; p < 3; ++p) n[o][p] += other.n[o][p];
}

long long Confusion::total() const {
  long long t = 0;
  for (const auto& row : n)
    for (long long v : row) t += v;
  return t;
}

long long Confusion::correct() const { return n[0][0] + n[1][1] + n[2][2]; }
long long Confusion::observed(int c) const { return n[c][0] + n[c][1] + n[c][2]; }
long long Confusion::predicted(int c) const { return n[0][c] + n[1][c] + n[2][c]; }

double Confusion::q3() const { return ratio(static_cast<double>(correct()), static_cast<double>(total())); }

double Confusion::accuracyObserved(int c) const {
  return ratio(static_cast<double>(n[c][c]), static_cast<double>(observed(c)));
}

double Confusion::accuracyPredicted(int c) const {
  return ratio(static_cast<double>(n[c][c]), static_cast<double>(predicted(c)));
}

double Confusion::mcc(int c) const {
  const double tp = static_cast<double>(n[c][c]);
  const double fn = static_cast<double>(observed(c)) - tp;
  const double fp = static_cast<double>(predicted(c)) - tp;
  const double tn = static_cast<double>(total()) - tp - fn - fp;
  const double d = (tp + fp) * (tp + fn) * (tn + fp) * (tn + fn);
  if (d == 0.0) return kNaN;
  return (tp * tn - fp * fn) / std::sqrt(d);
}

void SovSums::add(const SovSums& other) {
  for (int c = 0; c < 3; ++c) {
    score[c] += other.score[c];
    norm[c] += other.norm[c];
  }
}

double SovSums::overall() const { return ratio(score[0] + score[1] + score[2], norm[0] + norm[1] + norm[2]); }

double SovSums::ofClass(int c) const { return ratio(score[c], norm[c]); }

SovSums sov99(std::string_view observed, std::string_view predicted) {
  SovSums s;
  const std::vector<Segment> obs = segments(observed), pred = segments(predicted);
  for (const Segment& s1 : obs) {
    if (s1.cls < 0) continue;
    bool overlapped = false;
    for (const Segment& s2 : pred) {
      if (s2.cls != s1.cls || s2.end < s1.begin || s2.begin > s1.end) continue;
      overlapped = true;
      const int minov = std::min(s1.end, s2.end) - std::max(s1.begin, s2.begin) + 1;
      const int maxov = std::max(s1.end, s2.end) - std::min(s1.begin, s2.begin) + 1;
      const int delta = std::min({maxov - minov, minov, s1.length() / 2, s2.length() / 2});
      s.score[s1.cls] += static_cast<double>(minov + delta) / maxov * s1.length();
      s.norm[s1.cls] += s1.length();
    }
    if (!overlapped) s.norm[s1.cls] += s1.length();
  }
  return s;
}

std::pair<double, double> StageTally::addChain(std::string_view observed, std::string_view predicted) {
  Confusion c;
  for (std::size_t i = 0; i < observed.size(); ++i) c.add(classIndex(observed[i]), classIndex(predicted[i]));
  const SovSums s = sov99(observed, predicted);
  confusion.add(c);
  sov.add(s);
  const double q = c.q3(), v = s.overall();
  if (!std::isnan(q)) {
    q3Sum += q;
    ++q3Chains;
  }
  if (!std::isnan(v)) {
    sovSum += v;
    ++sovChains;
  }
  return {q, v};
}

double StageTally::q3PerChain() const { return ratio(q3Sum, q3Chains); }
double StageTally::sovPerChain() const { return ratio(sovSum, sovChains); }

}  // namespace kelvor::predict
