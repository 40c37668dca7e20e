// The records of one protein's three files, read residue by residue.
//
//   dssp_data/N          one record per residue: text, residue letter, text, structure letter
//   new_prf/N.mat        3 header lines, then: text, residue letter, 20 profile values
//   kvqout/N.kvqout      1 header line, then: integer, residue letter, text, 8 numbers
//
// The trainer, kelvor-predict and kelvor-prep --check all read these records with the item lists
// and holders given here, so that the three agree on every file.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "dataset/setio.h"
#include "ground/freeform_reader.h"

namespace kelvor {

enum class RecordFile { kDssp, kProfile, kPrediction };

// Header lines before the first residue record of a file.
int headerLines(RecordFile file);
// "DSSP-data file", "profile file", "prediction file".
const char* recordFileName(RecordFile file);

// The holders of one residue: they keep their values from record to record, as the reads leave
// them (a slash that ends a record leaves the rest as the previous residue had it).
struct ResidueRecord {
  char aa1 = ' ', aa2 = ' ', aa3 = ' ', ssc = ' ';
  std::array<double, 28> tprot{};  // 20 profile values, then the 8 numbers of the prediction file
  int index = 0;
};

// The item list of one record of `file`, filling the holders of `r`.
std::vector<Item> recordItems(RecordFile file, ResidueRecord& r);

// The three files of a protein, read in lock-step.
class ProteinRecords {
 public:
  // Which file ends the protein: the DSSP-data file (training, labelled chains), or the
  // prediction file (chains without a DSSP-data file, which is then not read at all).
  enum class Lead { kDssp, kPrediction };

  // Where a step ended: a residue was read, the leading file ended, or another record ended the
  // protein early (`file` and `result` say which and why).
  struct Step {
    enum Status { kResidue, kEnd, kEarlyEnd } status = kResidue;
    RecordFile file = RecordFile::kDssp;
    ReadResult result;
    std::array<long, 3> lines{};  // the line each file's record started on (0: not read)
  };

  // Opens the files and skips the header lines; the reads go into `holders`, which the caller
  // may carry from protein to protein. A missing DSSP-data file reads as empty; a profile or
  // prediction file that is missing or shorter than its header throws FileError.
  ProteinRecords(const ProteinPaths& paths, Lead lead, ResidueRecord& holders);

  // Reads the next residue into record(). A real that is not a finite number throws FileError
  // naming the file, the line and the item.
  Step next();
  const ResidueRecord& record() const { return record_; }
  const RecordReader& file(RecordFile f) const { return files_[static_cast<int>(f)]; }
  bool dsspMissing() const { return file(RecordFile::kDssp).missing(); }

  // "<file>: end of file after line N" or "<file>, line L: <reason>", for the warning of a
  // protein that ends early.
  std::string describe(const Step& step) const;

 private:
  bool readOne(RecordFile f, Step& step);

  Lead lead_;
  ResidueRecord& record_;
  std::array<RecordReader, 3> files_;
  std::array<std::vector<Item>, 3> items_;
};

}  // namespace kelvor
