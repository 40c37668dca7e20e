// PSI-BLAST ASCII position-specific scoring matrices (psiblast -out_ascii_pssm): a title, a
// column header (A R N D C Q E G H I L K M F P S T W Y V, twice), one row per query residue
// (position, letter, 20 scores, 20 weighted percentages, information, relative weight), then
// a blank line and the K and Lambda statistics.
#pragma once

#include <string>
#include <vector>

namespace kelvor::prep {

struct PssmRow {
  long line = 0;      // line in the PSSM file
  char letter = ' ';  // the query residue
  std::string text;   // the row as psiblast wrote it
};

struct PssmFile {
  std::string path;
  std::string title;    // the line before the column header
  std::string columns;  // the column header line
  std::vector<PssmRow> rows;
  std::vector<std::string> footer;  // from the blank line after the rows to the end
};

// Reads a PSSM. Throws ProblemError naming the file and line when there is no column header in
// the order above, a row does not hold a position, a letter and 20 finite scores, or the
// positions do not run 1, 2, 3, ...; FileError when the file cannot be read.
PssmFile readPssm(const std::string& path);
PssmFile parsePssm(const std::string& path, const std::string& text);

// The row with its letter replaced (the letter is the row's second word).
std::string withLetter(const std::string& row, char letter);

}  // namespace kelvor::prep
