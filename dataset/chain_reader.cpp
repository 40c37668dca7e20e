#include "dataset/chain_reader.h"

#include <sys/stat.h>

#include <vector>

#include "ground/errors.h"
#include "ground/freeform_reader.h"
#include "ground/names.h"

namespace kelvor {
namespace {

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// The residues of the three files (or of the profile and prediction files), read in lock-step.
void readRecords(DataStore& store, Encoder& encoder, ResidueRecord& holders, ChainRead& c) {
  ProteinRecords files(c.paths, c.labelled ? ProteinRecords::Lead::kDssp : ProteinRecords::Lead::kPrediction, holders);
  c.dsspMissing = c.labelled && files.dsspMissing();
  const ResidueRecord& rec = files.record();
  for (int j = 1;; ++j) {
    const ProteinRecords::Step step = files.next();
    if (step.status == ProteinRecords::Step::kEarlyEnd) {
      c.end = ChainRead::End::kEarly;
      c.residue = j;
      c.early = files.describe(step);
    }
    if (step.status != ProteinRecords::Step::kResidue) return;
    store.addResidue();
    const long dssp = step.lines[0], profile = step.lines[1], prediction = step.lines[2];
    if (rec.aa1 != rec.aa2 || rec.aa2 != rec.aa3) {
      c.end = ChainRead::End::kLetters;
      c.residue = j;
      if (rec.aa1 != rec.aa2) {
        c.one = {RecordFile::kDssp, dssp, rec.aa1};
        c.other = {RecordFile::kProfile, profile, rec.aa2};
      } else {
        c.one = {RecordFile::kProfile, profile, rec.aa2};
        c.other = {RecordFile::kPrediction, prediction, rec.aa3};
      }
      return;
    }
    if (!encoder.encode(store, store.nta, rec.aa1, rec.ssc, rec.tprot.data(), rec.tprot[20], rec.tprot[21],
                        rec.tprot[27])) {
      c.end = ChainRead::End::kStructure;
      c.residue = j;
      c.one = {RecordFile::kDssp, dssp, rec.ssc};
      return;
    }
    c.residues += rec.aa1;
    if (c.labelled) c.observed += rec.ssc;
  }
}

// The rows of the profile file alone, each row's first field read as its position.
void readProfile(DataStore& store, Encoder& encoder, ChainRead& c) {
  const std::string& path = c.paths.profile;
  RecordReader in = RecordReader::open(path);
  if (in.missing()) throw FileError(path, 0, std::string(recordFileName(RecordFile::kProfile)) + " is missing");
  const int header = headerLines(RecordFile::kProfile);
  for (int h = 1; h <= header; ++h)
    in.skipLineOrThrow("header line " + std::to_string(h) + " of " + std::to_string(header));

  ResidueRecord rec;
  std::vector<Item> items = recordItems(RecordFile::kProfile, rec);
  int position = 0;
  items[0] = Item::integer(position);
  for (;;) {
    const ReadResult r = in.read(items.data(), items.size());
    if (r.status == ReadResult::kEndOfFile || (r.status == ReadResult::kBadValue && r.item == 1)) return;
    if (!r.ok()) throw FileError(path, r.line, r.describe());
    store.addResidue();
    const int row = store.nta;
    encoder.encode(store, row, rec.aa2, 'C', rec.tprot.data(), 0.0, 0.0, 0.0);
    for (int col = 28; col <= 30; ++col) store.fin(row, col) = 0.0;
    c.residues += rec.aa2;
  }
}

}  // namespace

const std::string& ChainRead::path(RecordFile f) const {
  switch (f) {
    case RecordFile::kDssp:
      return paths.dssp;
    case RecordFile::kProfile:
      return paths.profile;
    case RecordFile::kPrediction:
      return paths.prediction;
  }
  return paths.dssp;
}

void prepareChainStore(DataStore& store) {
  store.wincen = kWinCentre;
  store.outcen = 1;
  store.xin(kBiasSlot, 1) = 1.0;
}

std::string rootDirectory(std::string root) {
  if (!root.empty() && root.back() != '/') root += '/';
  return root;
}

ChainRead readChain(DataStore& store, Encoder& encoder, ResidueRecord& holders, const std::string& root,
                    const std::string& listName, ChainFiles files) {
  ChainRead c;
  c.name = std::string(nameOf(listName));
  c.paths = proteinPaths(root, c.name);
  const int before = store.nta;
  if (files == ChainFiles::kProfileOnly) {
    readProfile(store, encoder, c);
  } else {
    c.labelled = files == ChainFiles::kLabelled || exists(c.paths.dssp);
    readRecords(store, encoder, holders, c);
    // A fault stops the reading; the caller stops the run.
    if (c.end == ChainRead::End::kLetters || c.end == ChainRead::End::kStructure) return c;
  }
  c.length = store.nta - before;
  c.first = c.length > 0 ? before + 1 : 0;
  store.setChainBounds(store.nta, c.length);
  return c;
}

}  // namespace kelvor
