// A chain whose structure is unknown: made from its PSSM (and angle table) alone.
#include <string>
#include <vector>

#include "dataset/setio.h"
#include "ground/errors.h"
#include "tools/prep/angle_table.h"
#include "tools/prep/convert.h"
#include "tools/prep/pssm_reader.h"
#include "tools/prep/residues.h"

namespace kelvor::prep {
namespace {

std::string quoted(char c) { return std::string("'") + c + "'"; }

// Every position where the table's letter is not the matrix's, and a difference in length.
void compareWithPssm(const ChainEntry& entry, const std::vector<PssmRow>& rows, const std::vector<AngleRow>& table,
                     std::vector<Problem>& problems) {
  const std::size_t n = std::min(rows.size(), table.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char p = profileResidueLetter(rows[i].letter), t = profileResidueLetter(table[i].letter);
    if (p != t)
      problems.push_back(Problem::error(entry.angles, table[i].line,
                                        "chain " + entry.name + ", position " + std::to_string(i + 1) +
                                            ": angle table " + quoted(t) + ", PSSM " + quoted(p) + " (file \"" +
                                            entry.pssm + "\", line " + std::to_string(rows[i].line) + ")"));
  }
  if (rows.size() != table.size())
    problems.push_back(Problem::error(entry.angles, 0,
                                      "chain " + entry.name + ": " + std::to_string(table.size()) +
                                          " angle-table line" + (table.size() == 1 ? "" : "s") + ", but the PSSM has " +
                                          std::to_string(rows.size()) + " rows"));
}

}  // namespace

BuildResult buildSequenceChain(const ChainEntry& entry, const std::string& root) {
  BuildResult out;
  PssmFile pssm;
  std::vector<AngleRow> table;
  auto read = [&](auto reader) {
    try {
      reader();
    } catch (const ProblemError& e) {
      out.problems.push_back(e.problem());
    } catch (const FileError& e) {
      out.problems.push_back(Problem::error("", 0, e.what()));
    }
  };
  if (entry.pssm.empty())
    out.problems.push_back(Problem::error(
        "", 0, "chain " + entry.name + ": no PSSM file given; a chain without a DSSP file is made from its PSSM"));
  else
    read([&] { pssm = readPssm(entry.pssm); });
  if (!entry.angles.empty()) read([&] { table = readAngleTable(entry.angles); });
  if (!out.problems.empty()) return out;
  if (pssm.rows.empty()) {
    out.problems.push_back(Problem::error(entry.pssm, 0, "chain " + entry.name + ": the PSSM has no rows"));
    return out;
  }
  if (!entry.angles.empty()) compareWithPssm(entry, pssm.rows, table, out.problems);
  if (!out.problems.empty()) return out;

  ChainFiles f;
  f.name = entry.name;
  f.residues = static_cast<int>(pssm.rows.size());
  f.hasDssp = false;
  f.hasPrediction = !table.empty();
  f.profile = profileHead(pssm);
  f.prediction = std::string(predictionHeader()) + "\n";
  // Stand-ins with which kelvor's reading checks the files made: a coil class per residue and, for
  // a chain without a table, values of 0. They are never written.
  std::string standInDssp, standInPrediction = f.prediction;
  for (std::size_t i = 0; i < pssm.rows.size(); ++i) {
    const PssmRow& row = pssm.rows[i];
    const char aa = profileResidueLetter(row.letter);
    const std::string index = std::to_string(i + 1);
    f.profile += (row.letter == aa ? row.text : withLetter(row.text, aa)) + "\n";
    standInDssp += index + " " + aa + " - C\n";
    if (f.hasPrediction)
      f.prediction +=
          index + " " + aa + " - " + table[i].angle1 + " " + table[i].angle2 + " 0 0 0 0 0 " + table[i].area + "\n";
    else
      standInPrediction += index + " " + aa + " - 0 0 0 0 0 0 0 0\n";
  }
  for (const auto& line : pssm.footer) f.profile += line + "\n";

  const ProteinPaths paths = proteinPaths(root, entry.name);
  checkReadBack(entry.name, root,
                {{paths.dssp, &standInDssp},
                 {paths.profile, &f.profile},
                 {paths.prediction, f.hasPrediction ? &f.prediction : &standInPrediction}},
                f.residues, out.problems);
  if (errorCount(out.problems) == 0) out.files = std::move(f);
  return out;
}

}  // namespace kelvor::prep
