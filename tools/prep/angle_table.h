// A table of predicted angles and surface areas, one line per residue:
//   residue letter, first angle, second angle, accessible surface area   [further words ignored]
// in degrees and square angstroms. Blank lines and lines starting with '#' are passed over.
#pragma once

#include <string>
#include <vector>

namespace kelvor::prep {

struct AngleRow {
  long line = 0;
  char letter = ' ';
  std::string angle1, angle2, area;  // as written, checked to read as finite numbers
};

// Throws ProblemError naming the file and line for a line that does not hold a letter and three
// finite numbers, FileError when the file cannot be read.
std::vector<AngleRow> readAngleTable(const std::string& path);
std::vector<AngleRow> parseAngleTable(const std::string& path, const std::string& text);

}  // namespace kelvor::prep
