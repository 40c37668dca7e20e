#include "tools/predict/protein_input.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

#include "dataset/protein_records.h"
#include "dataset/setio.h"
#include "ground/errors.h"
#include "ground/freeform_reader.h"

namespace kelvor::predict {
namespace {

std::string trimmed(const std::string& s) {
  const std::size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

void warnEarlyEnd(const Chain& c, const ProteinRecords& files, const ProteinRecords::Step& step, int residue) {
  std::fprintf(stderr, "kelvor-predict: warning: chain %s ends before residue %d: %s; %d residues kept\n",
               c.name.c_str(), residue, files.describe(step).c_str(), residue - 1);
}

[[noreturn]] void letterMismatch(const RecordReader& a, long lineA, char la, const RecordReader& b, long lineB,
                                 char lb, int residue) {
  throw InputError("residue " + std::to_string(residue) + ": letter " + std::string(1, la) + " in file \"" +
                   a.name() + "\", line " + std::to_string(lineA) + ", but " + std::string(1, lb) + " in file \"" +
                   b.name() + "\", line " + std::to_string(lineB));
}

}  // namespace

ChainReader::ChainReader(std::string dataRoot) : root_(std::move(dataRoot)) {
  if (!root_.empty() && root_.back() != '/') root_ += '/';
}

Chain ChainReader::read(DataStore& store, const std::string& listName) {
  Chain chain;
  chain.name = trimmed(listName);
  const ProteinPaths paths = proteinPaths(root_, chain.name);
  chain.labelled = exists(paths.dssp);

  ResidueRecord holders;
  ProteinRecords files(paths, chain.labelled ? ProteinRecords::Lead::kDssp : ProteinRecords::Lead::kPrediction, holders);
  const RecordReader& dssp = files.file(RecordFile::kDssp);
  const RecordReader& profile = files.file(RecordFile::kProfile);
  const RecordReader& prediction = files.file(RecordFile::kPrediction);
  const ResidueRecord& rec = files.record();

  const int before = store.nta;
  for (int j = 1;; ++j) {
    const ProteinRecords::Step step = files.next();
    if (step.status == ProteinRecords::Step::kEarlyEnd) warnEarlyEnd(chain, files, step, j);
    if (step.status != ProteinRecords::Step::kResidue) break;
    const long dsspLine = step.lines[0], profileLine = step.lines[1], predictionLine = step.lines[2];
    if (rec.aa1 != rec.aa2) letterMismatch(dssp, dsspLine, rec.aa1, profile, profileLine, rec.aa2, j);
    if (rec.aa2 != rec.aa3) letterMismatch(profile, profileLine, rec.aa2, prediction, predictionLine, rec.aa3, j);
    store.addResidue();
    if (!encoder_.encode(store, store.nta, rec.aa1, rec.ssc, rec.tprot.data(), rec.tprot[20], rec.tprot[21], rec.tprot[27]))
      throw InputError("file \"" + dssp.name() + "\", line " + std::to_string(dsspLine) + ": structure letter " +
                       std::string(1, rec.ssc) + " of residue " + std::to_string(j) + "; allowed: H, E, C");
    chain.residues += rec.aa1;
    if (chain.labelled) chain.observed += rec.ssc;
  }

  const int n = store.nta - before;
  chain.length = n;
  chain.first = n > 0 ? before + 1 : 0;
  store.setChainBounds(store.nta, n);
  return chain;
}

}  // namespace kelvor::predict
