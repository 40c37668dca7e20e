#include "tools/angles/out_of_fold.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "config/validate.h"
#include "dataset/setio.h"
#include "run/lock.h"
#include "ground/errors.h"
#include "ground/names.h"
#include "ground/output.h"
#include "tools/angles/angle_files.h"
#include "tools/angles/angle_run.h"
#include "tools/angles/angle_sets.h"
#include "tools/angles/fold_plan.h"
#include "tools/angles/predict_chains.h"

namespace fs = std::filesystem;

namespace kelvor::angles {
namespace {

std::string real(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  std::string s = buf;
  if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
  return s;
}

std::string quoted(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("''") : std::string(1, c);
  return q + "'";
}

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw FileError(path.string(), 0, "cannot write");
}

std::string lineList(const std::vector<int>& lines) {
  std::string s;
  for (std::size_t i = 0; i < lines.size() && i < 10; ++i) {
    if (i) s += ", ";
    s += std::to_string(lines[i]);
  }
  if (lines.size() > 10) s += ", ... (" + std::to_string(lines.size()) + " in all)";
  return s;
}

std::string foldList(const std::vector<int>& folds) {
  std::string s;
  for (std::size_t i = 0; i < folds.size(); ++i) {
    if (i) s += ',';
    s += std::to_string(folds[i]);
  }
  return s;
}

std::string fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// Mean and sample standard deviation over the folds.
std::string meanAndSpread(const std::vector<double>& v, int decimals) {
  double sum = 0.0;
  for (double x : v) sum += x;
  const double mean = sum / static_cast<double>(v.size());
  double sq = 0.0;
  for (double x : v) sq += (x - mean) * (x - mean);
  const double sd = v.size() > 1 ? std::sqrt(sq / static_cast<double>(v.size() - 1)) : 0.0;
  return fixed(mean, decimals) + " +- " + fixed(sd, decimals);
}

}  // namespace

std::string foldDefaultsText(const Settings& s, int fold, double fraction) {
  return std::to_string(s.epochLimit) + "\n" + std::to_string(s.requested) + "\n" + std::to_string(s.unused) + "\n" +
         real(s.rate) + "\n" + real(s.momentum) + "\n" + real(s.gain) + "\n" + real(s.dcay) + "\n" +
         std::to_string(fold) + "\n" + real(fraction) + "\n" + quoted(std::string(nameOf(s.listName))) + " " +
         quoted(std::string(nameOf(s.word))) + "\n";
}

int runOutOfFold(int folds, const std::string& outDir, int seedOffset, int batchResidues) {
  const std::string defaults = "kelvor.in";
  const Settings settings = readSettings(defaults);
  const std::string listName(nameOf(settings.listName));
  const std::vector<std::string> names = chainNames(listName);
  const int chains = std::min<long long>(std::max(settings.requested, 0), static_cast<long long>(names.size()));
  if (folds > chains)
    throw UsageError("--out-of-fold " + std::to_string(folds) + ": more folds than the " + std::to_string(chains) +
                     " proteins of the run; allowed: 2 to " + std::to_string(chains));
  const FoldPlan plan = planFolds(chains, folds);
  if (!plan.uncovered.empty()) {
    const std::vector<int> ks = coveringFoldCounts(chains, std::min(chains, 30));
    std::string hint;
    for (std::size_t i = 0; i < ks.size() && i < 12; ++i) hint += (i ? ", " : "") + std::to_string(ks[i]);
    throw UsageError("--out-of-fold " + std::to_string(folds) + ": with " + std::to_string(chains) +
                     " proteins, list line(s) " + lineList(plan.uncovered) +
                     " lie in no fold's test block nor validation part, so every model would train on them; "
                     "fold counts that cover every line: " +
                     (hint.empty() ? std::string("none up to 30") : hint));
  }

  // Nothing is written over an input of the run: the per-protein files, the defaults, the list.
  const std::string root = defaultDataRoot();
  std::vector<std::string> inputs{defaults, listName}, outputs{(fs::path(outDir) / "folds.tsv").string()};
  for (std::size_t j = 0; j < names.size(); ++j) {
    const ProteinPaths p = proteinPaths(root, names[j]);
    inputs.insert(inputs.end(), {p.dssp, p.profile, p.prediction});
    outputs.push_back((fs::path(outDir) / "kvqout" / (names[j] + ".kvqout")).string());
  }
  for (int k = 1; k <= folds; ++k)
    outputs.push_back((fs::path(outDir) / ("fold-" + std::to_string(k)) / "kelvor.in").string());
  checkOutputsAreNotInputs(outputs, inputs);

  std::error_code ec;
  fs::create_directories(outDir, ec);
  if (ec || !fs::is_directory(outDir)) throw FileError(outDir, 0, "cannot create the output directory");
  DirectoryLock lock(outDir, kLockName);

  std::vector<AngleResult> results;
  for (int k = 1; k <= folds; ++k) {
    const fs::path dir = fs::path(outDir) / ("fold-" + std::to_string(k));
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir)) throw FileError(dir.string(), 0, "cannot create the fold's directory");
    writeText(dir / "kelvor.in", foldDefaultsText(settings, k, plan.fraction));
    writeStdout("angles out-of-fold: fold " + std::to_string(k) + " of " + std::to_string(folds) + " in " +
                dir.string());
    AngleRun run;
    startAngleRun(run, (dir / "kelvor.in").string(), dir.string(), seedOffset);
    results.push_back(trainAngles(run));
    run.report.close();
  }

  // Chains grouped by the folds that predict them, each group with its folds' networks.
  std::map<std::vector<int>, std::vector<std::string>> groups;
  std::string table = "line\tchain\tpredicted by\tfolds\n";
  for (int j = 1; j <= chains; ++j) {
    const std::vector<int>& ks = plan.predictors[j - 1];
    const bool test = plan.role[ks.front() - 1][j - 1] == FoldRole::kTest;
    groups[ks].push_back(names[j - 1]);
    table += std::to_string(j) + "\t" + names[j - 1] + "\t" + (test ? "test part" : "validation part") + "\t" +
             foldList(ks) + "\n";
    if (!test)
      std::fprintf(stderr,
                   "kelvor-angles: list line %d (%s) lies in no fold's test block; predicted by fold(s) %s, "
                   "whose validation part holds it\n",
                   j, names[j - 1].c_str(), foldList(ks).c_str());
  }
  // Lines past the proteins the run takes (its requested count) are in no fold's data set: no
  // model trained on them, and all of them predict them.
  std::vector<int> all;
  for (int k = 1; k <= folds; ++k) all.push_back(k);
  for (int j = chains + 1; j <= static_cast<int>(names.size()); ++j) {
    groups[all].push_back(names[j - 1]);
    table += std::to_string(j) + "\t" + names[j - 1] + "\t" + "outside the run" + "\t" + foldList(all) + "\n";
  }
  long long residues = 0;
  for (const auto& [ks, members] : groups) {
    std::vector<AngleSet> sets(ks.size());
    for (std::size_t i = 0; i < ks.size(); ++i)
      loadAngleSet(sets[i], (fs::path(outDir) / ("fold-" + std::to_string(ks[i]))).string());
    residues += predictChains(members, sets, root, outDir, batchResidues);
  }
  writeText(fs::path(outDir) / "folds.tsv", table);

  std::vector<double> f1, f2, area, corr, b1, b2, barea, bcorr;
  for (std::size_t k = 0; k < results.size(); ++k) {
    const AngleResult& r = results[k];
    f1.push_back(r.network.firstDegrees), b1.push_back(r.letterMean.firstDegrees);
    f2.push_back(r.network.secondDegrees), b2.push_back(r.letterMean.secondDegrees);
    area.push_back(r.network.areaSquareAngstrom), barea.push_back(r.letterMean.areaSquareAngstrom);
    corr.push_back(r.network.areaCorrelation), bcorr.push_back(r.letterMean.areaCorrelation);
  }
  const std::string head = "angles out-of-fold, mean +- sd over " + std::to_string(folds) + " folds' test parts: ";
  writeStdout(head + "first angle MAE " + meanAndSpread(f1, 3) + " degrees; per-letter mean " + meanAndSpread(b1, 3));
  writeStdout(head + "second angle MAE " + meanAndSpread(f2, 3) + " degrees; per-letter mean " + meanAndSpread(b2, 3));
  writeStdout(head + "area MAE " + meanAndSpread(area, 3) + " square angstrom; per-letter mean " +
              meanAndSpread(barea, 3));
  writeStdout(head + "area correlation " + meanAndSpread(corr, 4) + "; per-letter mean " + meanAndSpread(bcorr, 4));
  writeStdout("angles out-of-fold: " + std::to_string(names.size()) + " chains, " + std::to_string(residues) +
              " residues predicted into " + (fs::path(outDir) / "kvqout").string() + "; folds.tsv says which models");
  return kExitOk;
}

}  // namespace kelvor::angles
