#include "tools/predict/writers.h"
#include "ground/version.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kelvor::predict {
namespace {

constexpr int kBlock = 60;
const char* const kStageKeys[2] = {"first_stage", "filter"};

std::string fixed(double v, int decimals = 4) {
  if (std::isnan(v)) return "n/a";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::string padLeft(const std::string& s, std::size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

std::string padRight(const std::string& s, std::size_t width) {
  return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

// Shortest text that reads back as the same double; null when it is not a number.
std::string jsonNumber(double v) {
  if (!std::isfinite(v)) return "null";
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

std::string jsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char ch : s) {
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += static_cast<char>(ch);
    } else if (ch < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", ch);
      out += buf;
    } else {
      out += static_cast<char>(ch);
    }
  }
  return out + "\"";
}

std::string plural(long long n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

void stageText(std::string& s, const char* title, const StageTally& t) {
  const Confusion& m = t.confusion;
  s += std::string(title) + "\n";
  s += "  Q3, all residues           " + padLeft(fixed(m.q3()), 8) + "   (" + std::to_string(m.correct()) + " of " +
       std::to_string(m.total()) + ")\n";
  s += "  Q3, mean per chain         " + padLeft(fixed(t.q3PerChain()), 8) + "   (" +
       plural(t.q3Chains, "chain", "chains") + ")\n";
  s += "  SOV'99, all chains         " + padLeft(fixed(t.sov.overall()), 8) + "\n";
  s += "  SOV'99, mean per chain     " + padLeft(fixed(t.sovPerChain()), 8) + "   (" +
       plural(t.sovChains, "chain", "chains") + ")\n\n";
  s += "  class                             E        C        H\n";
  auto row = [&](const char* label, auto f) {
    s += padRight(std::string("  ") + label, 28);
    for (int c = 0; c < 3; ++c) {
      s += ' ';
      s += padLeft(fixed(f(c)), 8);
    }
    s += "\n";
  };
  row("accuracy of observed", [&](int c) { return m.accuracyObserved(c); });
  row("accuracy of predicted", [&](int c) { return m.accuracyPredicted(c); });
  row("Matthews correlation", [&](int c) { return m.mcc(c); });
  row("SOV'99", [&](int c) { return t.sov.ofClass(c); });
  s += "\n  confusion matrix (rows observed, columns predicted)\n";
  s += "                 E        C        H    total\n";
  for (int o = 0; o <= 3; ++o) {
    s += o < 3 ? std::string("      ") + kClassLetters[o] : std::string("  total");
    if (o < 3) s += " ";
    for (int p = 0; p <= 3; ++p) {
      long long v = 0;
      if (o < 3 && p < 3)
        v = m.n[o][p];
      else if (o < 3)
        v = m.observed(o);
      else if (p < 3)
        v = m.predicted(p);
      else
        v = m.total();
      s += ' ';
      s += padLeft(std::to_string(v), 8);
    }
    s += "\n";
  }
  s += "\n";
}

void stageJson(std::string& s, const StageTally& t) {
  const Confusion& m = t.confusion;
  s += "{\"residues\": " + std::to_string(m.total()) + ", \"correct\": " + std::to_string(m.correct()) +
       ", \"q3\": " + jsonNumber(m.q3()) + ", \"q3_mean_per_chain\": " + jsonNumber(t.q3PerChain()) +
       ", \"sov99\": " + jsonNumber(t.sov.overall()) + ", \"sov99_mean_per_chain\": " + jsonNumber(t.sovPerChain()) +
       ",\n    \"per_class\": {";
  for (int c = 0; c < 3; ++c) {
    s += std::string(c ? ", " : "") + "\"" + kClassLetters[c] + "\": {\"observed\": " + std::to_string(m.observed(c)) +
         ", \"predicted\": " + std::to_string(m.predicted(c)) + ", \"correct\": " + std::to_string(m.n[c][c]) +
         ", \"accuracy_observed\": " + jsonNumber(m.accuracyObserved(c)) +
         ", \"accuracy_predicted\": " + jsonNumber(m.accuracyPredicted(c)) + ", \"mcc\": " + jsonNumber(m.mcc(c)) +
         ", \"sov99\": " + jsonNumber(t.sov.ofClass(c)) + "}";
  }
  s += "},\n    \"confusion\": [";
  for (int o = 0; o < 3; ++o) {
    s += o ? ", [" : "[";
    for (int p = 0; p < 3; ++p) s += (p ? ", " : "") + std::to_string(m.n[o][p]);
    s += "]";
  }
  s += "]}";
}

}  // namespace

std::string toolVersion() { return kelvorVersion(); }

double toUnit(double output) { return (output + 1.0) / 2.0; }

int confidenceDigit(const double* o, int predicted) {
  double second = -INFINITY;
  for (int c = 0; c < 3; ++c)
    if (c != predicted && o[c] > second) second = o[c];
  const double d = std::floor(10.0 * (toUnit(o[predicted]) - toUnit(second)));
  if (!(d > 0.0)) return 0;
  return d >= 9.0 ? 9 : static_cast<int>(d);
}

std::string classString(const std::vector<int>& classes) {
  std::string s;
  for (int c : classes) s += kClassLetters[c];
  return s;
}

std::string verticalText(const ChainPrediction& p) {
  const Chain& c = *p.chain;
  std::string s = "# kelvor-predict " + toolVersion() + " vertical format: chain " + c.name + ", " +
                  plural(c.length, "residue", "residues") + ", " + plural(p.weightSets, "weight set", "weight sets") +
                  (p.weightSets > 1 ? " averaged" : "") + "\n";
  s += "# columns: position, residue, predicted class (H helix, E strand, C coil), then the filter outputs\n";
  s += "# for C, H and E, each mapped from -1..1 to 0..1 as (output + 1) / 2\n\n";
  char line[96];
  for (int i = 0; i < c.length; ++i) {
    const double* o = p.filter + 3 * i;
    std::snprintf(line, sizeof line, "%4d %c %c  %6.3f %6.3f %6.3f\n", i + 1, c.residues[i],
                  kClassLetters[p.classes[i]], toUnit(o[kCoil]), toUnit(o[kHelix]), toUnit(o[kStrand]));
    s += line;
  }
  return s;
}

std::string horizontalText(const ChainPrediction& p) {
  const Chain& c = *p.chain;
  std::string s = "# kelvor-predict " + toolVersion() + " horizontal format: chain " + c.name + ", " +
                  plural(c.length, "residue", "residues") + ", " + plural(p.weightSets, "weight set", "weight sets") +
                  (p.weightSets > 1 ? " averaged" : "") + "\n";
  s += "# Conf: confidence of the predicted class, 0 (low) to 9 (high); Pred: predicted class\n";
  s += "# (H helix, E strand, C coil); AA: residue\n";
  for (int b = 0; b < c.length; b += kBlock) {
    const int e = std::min(b + kBlock, c.length);
    std::string conf, pred;
    for (int i = b; i < e; ++i) {
      conf += static_cast<char>('0' + confidenceDigit(p.filter + 3 * i, p.classes[i]));
      pred += kClassLetters[p.classes[i]];
    }
    s += "\nConf: " + conf + "\nPred: " + pred + "\n  AA: " + c.residues.substr(b, e - b) + "\n      ";
    for (int k = b + 10; k <= e; k += 10) s += padLeft(std::to_string(k), 10);
    s += "\n";
  }
  return s;
}

std::string reportText(const ScoreReport& r) {
  std::string s = "kelvor-predict " + toolVersion() + ": scores against the classes of the DSSP-data files\n\n";
  s += plural(static_cast<long long>(r.weightDirs.size()), "weight set", "weight sets") +
       (r.weightDirs.size() > 1 ? ", outputs averaged" : "") + ":\n";
  for (const auto& d : r.weightDirs) s += "  " + d + "\n";
  s += "chains scored: " + std::to_string(r.chains - r.unlabelled) + " of " + std::to_string(r.chains) + " (" +
       plural(r.stage[1].confusion.total(), "residue", "residues") +
       "); without a DSSP-data file: " + std::to_string(r.unlabelled) + "\n";
  s += "Scores are fractions of 1; n/a: nothing to score (no residue or segment of that kind).\n\n";
  stageText(s, "First stage", r.stage[0]);
  stageText(s, "Filter", r.stage[1]);
  s += "Per chain                    residues  Q3 first  Q3 filter  SOV first  SOV filter\n";
  for (const ChainScores& c : r.scored)
    s += "  " + padRight(c.name, 26) + " " + padLeft(std::to_string(c.residues), 8) + padLeft(fixed(c.q3[0]), 10) +
         padLeft(fixed(c.q3[1]), 11) + padLeft(fixed(c.sov[0]), 11) + padLeft(fixed(c.sov[1]), 12) + "\n";
  return s;
}

std::string reportJson(const ScoreReport& r) {
  std::string s =
      "{\"tool\": \"kelvor-predict\", \"version\": " + jsonString(toolVersion()) + ",\n  \"weight_sets\": [";
  for (std::size_t i = 0; i < r.weightDirs.size(); ++i) s += (i ? ", " : "") + jsonString(r.weightDirs[i]);
  s += "],\n  \"classes\": [\"E\", \"C\", \"H\"], \"chains\": " + std::to_string(r.chains) +
       ", \"chains_scored\": " + std::to_string(r.chains - r.unlabelled) +
       ", \"chains_unlabelled\": " + std::to_string(r.unlabelled) + ",\n";
  for (int st = 0; st < 2; ++st) {
    s += "  \"" + std::string(kStageKeys[st]) + "\": ";
    stageJson(s, r.stage[st]);
    s += ",\n";
  }
  s += "  \"per_chain\": [";
  for (std::size_t i = 0; i < r.scored.size(); ++i) {
    const ChainScores& c = r.scored[i];
    s += std::string(i ? ",\n    " : "\n    ") + "{\"name\": " + jsonString(c.name) +
         ", \"residues\": " + std::to_string(c.residues);
    for (int st = 0; st < 2; ++st)
      s += ", \"" + std::string(kStageKeys[st]) + "\": {\"q3\": " + jsonNumber(c.q3[st]) +
           ", \"sov99\": " + jsonNumber(c.sov[st]) + "}";
    s += "}";
  }
  s += "]}\n";
  return s;
}

}  // namespace kelvor::predict
