#include "tools/prep/pssm_reader.h"

#include <cctype>
#include <cmath>

#include "ground/freeform_reader.h"
#include "tools/prep/problems.h"

namespace kelvor::prep {
namespace {

constexpr const char* kOrder[20] = {"A", "R", "N", "D", "C", "Q", "E", "G", "H", "I",
                                    "L", "K", "M", "F", "P", "S", "T", "W", "Y", "V"};

bool isColumnHeader(const std::vector<std::string>& w) {
  if (w.size() < 20) return false;
  for (int k = 0; k < 20; ++k)
    if (w[k] != kOrder[k]) return false;
  return true;
}

bool isBlankLine(const std::string& s) { return s.find_first_not_of(" \t") == std::string::npos; }

}  // namespace

PssmFile readPssm(const std::string& path) { return parsePssm(path, loadExisting(path)); }

PssmFile parsePssm(const std::string& path, const std::string& text) {
  PssmFile file;
  file.path = path;
  const std::vector<std::string> lines = splitLines(text);
  std::size_t i = 0;
  for (; i < lines.size(); ++i) {
    if (isColumnHeader(words(lines[i]))) break;
    // A row before any header: the matrix has lost its header or is not a psiblast matrix.
    std::vector<std::string> w = words(lines[i]);
    int pos = 0;
    if (w.size() >= 22 && parseInteger(w[0], pos))
      throw ProblemError(
          Problem::error(path, static_cast<long>(i) + 1,
                         "matrix row before the column header line (A R N D C Q E G H I L K M F P S T W Y V)"));
  }
  if (i == lines.size())
    throw ProblemError(Problem::error(path, 0,
                                      "no column header line \"A R N D C Q E G H I L K M F P S T W Y V\": "
                                      "not a PSI-BLAST ASCII matrix (psiblast -out_ascii_pssm)"));
  file.columns = lines[i];
  for (std::size_t t = i; t-- > 0;)
    if (!isBlankLine(lines[t])) {
      file.title = lines[t];
      break;
    }
  for (++i; i < lines.size(); ++i) {
    const std::string& s = lines[i];
    const long no = static_cast<long>(i) + 1;
    if (isBlankLine(s)) break;
    const std::vector<std::string> w = words(s);
    int pos = 0;
    if (w.size() < 22 || !parseInteger(w[0], pos) || w[1].size() != 1 ||
        !std::isalpha(static_cast<unsigned char>(w[1][0])))
      throw ProblemError(Problem::error(path, no, "not a matrix row (position, residue letter, 20 scores)"));
    if (pos != static_cast<int>(file.rows.size()) + 1)
      throw ProblemError(Problem::error(
          path, no,
          "row of position " + w[0] + " where position " + std::to_string(file.rows.size() + 1) + " was due"));
    for (int k = 0; k < 20; ++k) {
      double v = 0.0;
      if (!parseReal(w[2 + k], v) || !std::isfinite(v))
        throw ProblemError(Problem::error(path, no,
                                          std::string("score ") + std::to_string(k + 1) + " (" + kOrder[k] + ") \"" +
                                              w[2 + k] + "\" is not a number"));
    }
    file.rows.push_back({no, w[1][0], s});
  }
  if (file.rows.empty()) throw ProblemError(Problem::error(path, 0, "no matrix rows after the column header line"));
  for (; i < lines.size(); ++i) file.footer.push_back(lines[i]);
  return file;
}

std::string withLetter(const std::string& row, char letter) {
  // Rows come from parsePssm, so the second word exists.
  std::size_t i = row.find_first_not_of(" \t");
  i = row.find_first_of(" \t", i);
  i = row.find_first_not_of(" \t", i);
  std::string out = row;
  if (i != std::string::npos) out[i] = letter;
  return out;
}

}  // namespace kelvor::prep
