#include "dataset/protein_records.h"

#include "ground/errors.h"

namespace kelvor {
namespace {

RecordReader openRecords(const std::string& path, RecordFile file) {
  RecordReader in = RecordReader::open(path);
  const int header = headerLines(file);
  if (file != RecordFile::kDssp && in.missing())
    throw FileError(path, 0, std::string(recordFileName(file)) + " is missing");
  for (int h = 1; h <= header; ++h)
    in.skipLineOrThrow("header line " + std::to_string(h) + " of " + std::to_string(header));
  return in;
}

}  // namespace

int headerLines(RecordFile file) {
  switch (file) {
    case RecordFile::kDssp:
      return 0;
    case RecordFile::kProfile:
      return 3;
    case RecordFile::kPrediction:
      return 1;
  }
  return 0;
}

const char* recordFileName(RecordFile file) {
  switch (file) {
    case RecordFile::kDssp:
      return "DSSP-data file";
    case RecordFile::kProfile:
      return "profile file";
    case RecordFile::kPrediction:
      return "prediction file";
  }
  return "";
}

std::vector<Item> recordItems(RecordFile file, ResidueRecord& r) {
  std::vector<Item> v;
  switch (file) {
    case RecordFile::kDssp:
      v = {Item::skip(), Item::letter(r.aa1), Item::skip(), Item::letter(r.ssc)};
      break;
    case RecordFile::kProfile:
      v = {Item::skip(), Item::letter(r.aa2)};
      for (int k = 0; k < 20; ++k) v.push_back(Item::real(r.tprot[k]));
      break;
    case RecordFile::kPrediction:
      v = {Item::integer(r.index), Item::letter(r.aa3), Item::skip()};
      for (int k = 20; k < 28; ++k) v.push_back(Item::real(r.tprot[k]));
      break;
  }
  return v;
}

ProteinRecords::ProteinRecords(const ProteinPaths& paths, Lead lead, ResidueRecord& holders)
    : lead_(lead),
      record_(holders),
      files_{lead == Lead::kDssp ? openRecords(paths.dssp, RecordFile::kDssp) : RecordReader(paths.dssp, ""),
             openRecords(paths.profile, RecordFile::kProfile), openRecords(paths.prediction, RecordFile::kPrediction)},
      items_{recordItems(RecordFile::kDssp, record_), recordItems(RecordFile::kProfile, record_),
             recordItems(RecordFile::kPrediction, record_)} {}

bool ProteinRecords::readOne(RecordFile f, Step& step) {
  const int i = static_cast<int>(f);
  step.file = f;
  step.result = files_[i].read(items_[i].data(), items_[i].size());
  if (step.result.status == ReadResult::kNotFinite)
    throw FileError(files_[i].name(), step.result.line, step.result.describe());
  if (step.result.ok()) step.lines[i] = step.result.line;
  return step.result.ok();
}

ProteinRecords::Step ProteinRecords::next() {
  Step step;
  // The leading file's end (or a record of it that does not read) ends the protein; a record of
  // another file that fails ends it early.
  const RecordFile order[3] = {lead_ == Lead::kDssp ? RecordFile::kDssp : RecordFile::kPrediction, RecordFile::kProfile,
                               lead_ == Lead::kDssp ? RecordFile::kPrediction : RecordFile::kDssp};
  const int count = lead_ == Lead::kDssp ? 3 : 2;
  for (int k = 0; k < count; ++k) {
    if (readOne(order[k], step)) continue;
    if (k == 0 && step.result.status == ReadResult::kEndOfFile)
      step.status = Step::kEnd;
    else
      step.status = Step::kEarlyEnd;
    return step;
  }
  if (lead_ == Lead::kPrediction) {
    record_.aa1 = record_.aa2;
    record_.ssc = 'C';
  }
  return step;
}

std::string ProteinRecords::describe(const Step& step) const {
  const RecordReader& f = file(step.file);
  if (step.result.status == ReadResult::kEndOfFile)
    return f.name() + ": end of file after line " + std::to_string(f.lineCount());
  return f.name() + ", line " + std::to_string(step.result.line) + ": " + step.result.describe();
}

}  // namespace kelvor
