#include "tools/prep/dssp_reader.h"

#include <cmath>

#include "ground/freeform_reader.h"
#include "tools/prep/problems.h"
#include "tools/prep/residues.h"

namespace kelvor::prep {
namespace {

constexpr std::size_t kMinLine = 129;  // through the Y-CA column

// Columns first..last (1-based), blanks at both ends removed.
std::string field(const std::string& line, std::size_t first, std::size_t last) {
  std::string s = line.substr(first - 1, last - first + 1);
  const std::size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

std::string shown(const std::string& chains) {
  std::string s;
  for (char c : chains)
    s += std::string(s.empty() ? "" : " ") + (c == ' ' ? std::string("(blank)") : std::string(1, c));
  return s.empty() ? "none" : s;
}

}  // namespace

std::string DsspFile::chains() const {
  std::string out;
  for (const auto& r : residues)
    if (out.find(r.chain) == std::string::npos) out += r.chain;
  return out;
}

DsspFile readDssp(const std::string& path) { return parseDssp(path, loadExisting(path)); }

DsspFile parseDssp(const std::string& path, const std::string& text) {
  DsspFile file;
  file.path = path;
  const std::vector<std::string> lines = splitLines(text);
  std::size_t i = 0;
  for (; i < lines.size(); ++i)
    if (lines[i].rfind("  #  RESIDUE", 0) == 0) break;
  if (i == lines.size()) {
    std::size_t first = 0;
    while (first < lines.size() && lines[first].find_first_not_of(" \t") == std::string::npos) ++first;
    const bool cif = first < lines.size() && lines[first].rfind("data_", 0) == 0;
    throw ProblemError(
        Problem::error(path, 0,
                       cif ? "this is mmCIF output; run mkdssp with --output-format dssp for the classic layout"
                           : "no residue header line (\"  #  RESIDUE AA STRUCTURE ...\"): not classic DSSP output"));
  }
  for (++i; i < lines.size(); ++i) {
    const std::string& s = lines[i];
    const long no = static_cast<long>(i) + 1;
    if (s.find_first_not_of(' ') == std::string::npos) continue;
    if (s.size() >= 14 && s[13] == '!') {
      ++file.breaks;
      continue;
    }
    if (s.size() < kMinLine)
      throw ProblemError(Problem::error(
          path, no,
          "residue line of " + std::to_string(s.size()) + " characters; a classic DSSP residue line has 136"));
    DsspResidue r;
    r.line = no;
    r.number = field(s, 6, 11);
    r.chain = s[11];
    r.letter = s[13];
    r.state = s[16];
    if (r.number.empty())
      throw ProblemError(Problem::error(path, no, "residue line without a residue number (columns 6-11)"));
    if (!((r.letter >= 'A' && r.letter <= 'Z') || (r.letter >= 'a' && r.letter <= 'z')))
      throw ProblemError(
          Problem::error(path, no, std::string("residue letter '") + r.letter + "' in column 14 is not a letter"));
    if (!isDsspState(r.state))
      throw ProblemError(Problem::error(path, no,
                                        std::string("secondary structure '") + r.state +
                                            "' in column 17 is not a DSSP state (H B E G I T S P or blank)"));
    struct Column {
      std::string* to;
      std::size_t first, last;
      const char* name;
    };
    const Column columns[] = {{&r.acc, 35, 38, "ACC"},      {&r.tco, 84, 91, "TCO"},   {&r.kappa, 92, 97, "KAPPA"},
                              {&r.alpha, 98, 103, "ALPHA"}, {&r.phi, 104, 109, "PHI"}, {&r.psi, 110, 115, "PSI"},
                              {&r.xca, 116, 122, "X-CA"},   {&r.yca, 123, 129, "Y-CA"}};
    for (const Column& c : columns) {
      *c.to = field(s, c.first, c.last);
      double v = 0.0;
      if (!parseReal(*c.to, v) || !std::isfinite(v))
        throw ProblemError(Problem::error(path, no,
                                          std::string(c.name) + " \"" + *c.to + "\" in columns " +
                                              std::to_string(c.first) + "-" + std::to_string(c.last) +
                                              " is not a number"));
    }
    file.residues.push_back(std::move(r));
  }
  if (file.residues.empty()) throw ProblemError(Problem::error(path, 0, "no residue lines after the residue header"));
  return file;
}

std::vector<DsspResidue> chainResidues(const DsspFile& file, const std::string& chain) {
  const std::string present = file.chains();
  if (chain == "-") {
    if (present.size() != 1)
      throw ProblemError(Problem::error(file.path, 0,
                                        "chain '-' stands for the file's only chain, but it has " +
                                            std::to_string(present.size()) + ": " + shown(present)));
    return file.residues;
  }
  std::vector<DsspResidue> out;
  if (chain.size() == 1)
    for (const auto& r : file.residues)
      if (r.chain == chain[0]) out.push_back(r);
  if (out.empty())
    throw ProblemError(
        Problem::error(file.path, 0, "no residues of chain '" + chain + "'; the file has chains " + shown(present)));
  return out;
}

}  // namespace kelvor::prep
