#include "tools/predict/predict_run.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "config/validate.h"
#include "dataset/setio.h"
#include "ground/errors.h"
#include "ground/freeform_reader.h"
#include "ground/names.h"
#include "tools/predict/ensemble.h"
#include "tools/predict/protein_input.h"
#include "tools/predict/writers.h"

namespace fs = std::filesystem;

namespace kelvor::predict {
namespace {

std::vector<std::string> readList(const std::string& path) {
  RecordReader in = RecordReader::open(path);
  if (in.missing())
    throw FileError(path, 0, "protein list is missing; name one with --list, or see kelvor-predict --help");
  std::vector<std::string> names;
  std::string line;
  while (in.readLine(line)) {
    const std::string name(nameOf(line));
    if (name.empty()) continue;
    // Names are judged as kelvor judges them: one past its 120 characters is refused, not cut.
    if (auto problem = nameLengthProblem(name)) throw FileError(path, in.nextLine() - 1, *problem);
    // Output files are named after the chain, inside the output directory and nowhere else.
    if (name.find('/') != std::string::npos || name.find("..") != std::string::npos)
      throw FileError(path, in.nextLine() - 1,
                      "chain name \"" + name + "\" holds \"/\" or \"..\"; allowed: a plain file name");
    names.push_back(name);
  }
  if (names.empty()) throw FileError(path, 0, "protein list names no chain");
  return names;
}

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw FileError(path.string(), 0, "cannot write");
}

class Run {
 public:
  Run(const Options& o, std::vector<WeightSet>& sets)
      : o_(o), sets_(sets), reader_(o.dataRoot.empty() ? defaultDataRoot() : o.dataRoot), out_(o.outputDir) {
    for (const WeightSet& s : sets) report_.weightDirs.push_back(s.dir);
  }

  void add(const std::string& name) {
    chains_.push_back(reader_.read(store_, name));
    if (chains_.back().length == 0)
      std::fprintf(stderr, "kelvor-predict: warning: chain %s has no residues\n", chains_.back().name.c_str());
    if (store_.nta >= o_.batchResidues) flush();
  }

  void flush() {
    const Outputs outputs = predictAll(sets_, store_);
    for (const Chain& c : chains_) {
      ChainPrediction p;
      p.chain = &c;
      p.weightSets = static_cast<int>(sets_.size());
      const std::size_t at = c.first > 0 ? static_cast<std::size_t>(c.first - 1) * 3 : 0;
      p.filter = outputs.filter.data() + at;
      std::vector<int> first;
      for (int i = 0; i < c.length; ++i) {
        first.push_back(decide(outputs.first.data() + at + 3 * i));
        p.classes.push_back(decide(p.filter + 3 * i));
      }
      const fs::path base = out_ / c.name;
      if (base.has_parent_path()) fs::create_directories(base.parent_path());
      writeText(base.string() + ".vertical", verticalText(p));
      writeText(base.string() + ".horizontal", horizontalText(p));

      ++report_.chains;
      residues_ += c.length;
      if (!c.labelled) {
        ++report_.unlabelled;
        continue;
      }
      ChainScores cs;
      cs.name = c.name;
      cs.residues = c.length;
      const std::string pred[2] = {classString(first), classString(p.classes)};
      for (int st = 0; st < 2; ++st) std::tie(cs.q3[st], cs.sov[st]) = report_.stage[st].addChain(c.observed, pred[st]);
      report_.scored.push_back(cs);
    }
    chains_.clear();
    store_ = DataStore();
    prepareChainStore(store_);
  }

  void finish() {
    flush();
    std::printf("kelvor-predict: %d chain%s, %lld residue%s, %zu weight set%s; files in %s\n", report_.chains,
                report_.chains == 1 ? "" : "s", residues_, residues_ == 1 ? "" : "s", sets_.size(),
                sets_.size() == 1 ? "" : "s", out_.string().c_str());
    if (!o_.scores) return;
    if (report_.scored.empty()) {
      std::fprintf(stderr, "kelvor-predict: warning: no chain has a DSSP-data file; no score report written\n");
      return;
    }
    writeText(out_ / "scores.txt", reportText(report_));
    writeText(out_ / "scores.json", reportJson(report_));
    std::printf(
        "kelvor-predict: Q3 %.4f (first stage), %.4f (filter) over %lld residues of %d scored chains; "
        "report in %s\n",
        report_.stage[0].confusion.q3(), report_.stage[1].confusion.q3(), report_.stage[1].confusion.total(),
        report_.chains - report_.unlabelled, (out_ / "scores.txt").string().c_str());
  }

  void start() {
    std::error_code ec;
    fs::create_directories(out_, ec);
    if (ec || !fs::is_directory(out_)) throw FileError(out_.string(), 0, "cannot create the output directory");
    prepareChainStore(store_);
  }

 private:
  const Options& o_;
  std::vector<WeightSet>& sets_;
  ChainReader reader_;
  fs::path out_;
  DataStore store_;
  std::vector<Chain> chains_;
  ScoreReport report_;
  long long residues_ = 0;
};

// No file this run writes may be one that it reads, through links.
void checkOutputs(const Options& o, const std::vector<std::string>& names, const std::vector<std::string>& dirs) {
  const fs::path out = o.outputDir;
  const std::string root =
      o.dataRoot.empty() ? defaultDataRoot() : (o.dataRoot.back() == '/' ? o.dataRoot : o.dataRoot + "/");
  std::vector<std::string> outputs{(out / "scores.txt").string(), (out / "scores.json").string()};
  std::vector<std::string> inputs{o.list};
  for (const std::string& n : names) {
    outputs.push_back((out / n).string() + ".vertical");
    outputs.push_back((out / n).string() + ".horizontal");
    const ProteinPaths p = proteinPaths(root, n);
    inputs.insert(inputs.end(), {p.dssp, p.profile, p.prediction});
  }
  for (const std::string& d : dirs)
    for (const char* f : {"kelvor.in", "fort.77", "fort.78", "fort.79", "fort.87", "fort.88"})
      inputs.push_back((fs::path(d) / f).string());
  checkOutputsAreNotInputs(outputs, inputs);
}

}  // namespace

int runPredict(const Options& options) {
  const std::vector<std::string> names = readList(options.list);
  std::vector<std::string> dirs = options.weightDirs;
  if (dirs.empty()) dirs.push_back(".");
  checkOutputs(options, names, dirs);
  std::vector<WeightSet> sets(dirs.size());
  for (std::size_t i = 0; i < dirs.size(); ++i) loadWeightSet(sets[i], dirs[i], options.settings);

  Run run(options, sets);
  run.start();
  for (const std::string& name : names) run.add(name);
  run.finish();
  return 0;
}

}  // namespace kelvor::predict
