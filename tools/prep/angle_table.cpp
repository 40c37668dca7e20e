#include "tools/prep/angle_table.h"

#include <cmath>

#include "ground/freeform_reader.h"
#include "tools/prep/problems.h"

namespace kelvor::prep {

std::vector<AngleRow> readAngleTable(const std::string& path) { return parseAngleTable(path, loadExisting(path)); }

std::vector<AngleRow> parseAngleTable(const std::string& path, const std::string& text) {
  std::vector<AngleRow> rows;
  const std::vector<std::string> lines = splitLines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::vector<std::string> w = words(lines[i]);
    if (w.empty() || w[0][0] == '#') continue;
    const long no = static_cast<long>(i) + 1;
    if (w.size() < 4 || w[0].size() != 1)
      throw ProblemError(
          Problem::error(path, no, "not a table line (residue letter, first angle, second angle, area)"));
    const char* names[3] = {"first angle", "second angle", "area"};
    for (int k = 0; k < 3; ++k) {
      double v = 0.0;
      if (!parseReal(w[1 + k], v) || !std::isfinite(v))
        throw ProblemError(Problem::error(path, no, std::string(names[k]) + " \"" + w[1 + k] + "\" is not a number"));
    }
    rows.push_back({no, w[0][0], w[1], w[2], w[3]});
  }
  if (rows.empty()) throw ProblemError(Problem::error(path, 0, "no table lines"));
  return rows;
}

}  // namespace kelvor::prep
