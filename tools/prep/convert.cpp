#include "tools/prep/convert.h"

#include <cctype>
#include <filesystem>
#include <tuple>

#include "dataset/setio.h"
#include "ground/errors.h"
#include "ground/freeform_reader.h"
#include "ground/output.h"
#include "tools/prep/angle_table.h"
#include "tools/prep/check.h"
#include "tools/prep/pssm_reader.h"

namespace kelvor::prep {
namespace {

constexpr const char* kDefaultTitle =
    "Last position-specific scoring matrix computed, weighted observed percentages rounded down, information per "
    "position, and relative weight of gapless real matches to pseudocounts";
constexpr const char* kPredictionHeader = "# index aa ss phi psi tco kappa alpha xca yca asa";

std::string quoted(char c) { return std::string("'") + c + "'"; }

// A word for an ignored text field: never empty, and free of what would change how a record
// reads (blanks, commas, slashes, quotes).
std::string plainWord(const std::string& s) {
  std::string out;
  for (char c : s) out += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.') ? c : '_';
  return out.empty() ? "-" : out;
}

// DSSP writes 360.0 for an angle it cannot define (chain ends, breaks); the data set holds 0.0.
std::string definedAngle(const std::string& text) {
  double v = 0.0;
  parseReal(text, v);
  return v == 360.0 ? "0.0" : text;
}

// DSSP's ACC is a whole number of square angstroms; the data set writes it as a real.
std::string areaText(const std::string& text) {
  int v = 0;
  return parseInteger(text, v) ? text + ".0" : text;
}

std::string chainShown(const std::string& chain, const std::vector<DsspResidue>& residues) {
  return chain == "-" && !residues.empty() ? std::string(1, residues.front().chain) : chain;
}

// Position-by-position agreement of the DSSP letters with another file's letters.
template <class Row, class LetterOf>
void compareLetters(const ChainEntry& entry, const std::vector<DsspResidue>& residues, const std::vector<Row>& rows,
                    const std::string& path, const char* what, const char* rowWord, LetterOf letterOf,
                    std::vector<Problem>& problems) {
  const std::string chain = chainShown(entry.chain, residues);
  const std::size_t n = std::min(residues.size(), rows.size());
  std::size_t disagreements = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char d = dsspResidueLetter(residues[i].letter), o = letterOf(rows[i]);
    if (d == o) continue;
    ++disagreements;
    problems.push_back(Problem::error(path, rows[i].line,
                                      "chain " + entry.name + ", position " + std::to_string(i + 1) + ": " + what +
                                          " " + quoted(o) + ", DSSP " + quoted(d) + " (residue " + residues[i].number +
                                          " of chain " + chain + ", file \"" + entry.dssp + "\", line " +
                                          std::to_string(residues[i].line) + ")"));
  }
  if (rows.size() != residues.size())
    problems.push_back(Problem::error(
        path, 0,
        "chain " + entry.name + ": " + std::to_string(rows.size()) + " " + rowWord + (rows.size() == 1 ? "" : "s") +
            ", but the DSSP file has " + std::to_string(residues.size()) + " residues of chain " + chain +
            " (chain breaks left out); make it from the sequence that kelvor-prep --fasta writes"));
  else if (disagreements > 0)
    problems.push_back(Problem::error(path, 0,
                                      "chain " + entry.name + ": " + std::to_string(disagreements) + " of " +
                                          std::to_string(n) + " residue letters disagree with the DSSP file"));
}

}  // namespace

std::string profileHead(const PssmFile& pssm) {
  return "\n" + (pssm.title.empty() ? std::string(kDefaultTitle) : pssm.title) + "\n" + pssm.columns + "\n";
}

const char* predictionHeader() { return kPredictionHeader; }

const DsspFile& DsspCache::get(const std::string& path) {
  if (auto f = failures_.find(path); f != failures_.end()) throw ProblemError(f->second);
  if (auto f = files_.find(path); f != files_.end()) return f->second;
  try {
    return files_.emplace(path, readDssp(path)).first->second;
  } catch (const ProblemError& e) {
    failures_.emplace(path, e.problem());
    throw;
  } catch (const FileError& e) {
    Problem p = Problem::error("", 0, e.what());
    failures_.emplace(path, p);
    throw ProblemError(p);
  }
}

BuildResult buildChain(const ChainEntry& entry, Reduction reduction, const std::string& root, DsspCache& cache) {
  if (!entry.hasStructure()) return buildSequenceChain(entry, root);
  BuildResult out;
  std::vector<DsspResidue> residues;
  PssmFile pssm;
  std::vector<AngleRow> angles;
  try {
    residues = chainResidues(cache.get(entry.dssp), entry.chain);
  } catch (const ProblemError& e) {
    out.problems.push_back(e.problem());
  }
  auto readOther = [&](auto reader) {
    try {
      reader();
    } catch (const ProblemError& e) {
      out.problems.push_back(e.problem());
    } catch (const FileError& e) {
      out.problems.push_back(Problem::error("", 0, e.what()));
    }
  };
  if (entry.pssm.empty())
    out.problems.push_back(Problem::error("", 0, "chain " + entry.name + ": no PSSM file given"));
  else
    readOther([&] { pssm = readPssm(entry.pssm); });
  if (!entry.angles.empty()) readOther([&] { angles = readAngleTable(entry.angles); });
  if (!out.problems.empty()) return out;

  compareLetters(
      entry, residues, pssm.rows, entry.pssm, "PSSM", "PSSM row",
      [](const PssmRow& r) { return profileResidueLetter(r.letter); }, out.problems);
  if (!entry.angles.empty())
    compareLetters(
        entry, residues, angles, entry.angles, "angle table", "angle-table line",
        [](const AngleRow& r) { return profileResidueLetter(r.letter); }, out.problems);
  if (!out.problems.empty()) return out;

  ChainFiles f;
  f.name = entry.name;
  f.residues = static_cast<int>(residues.size());
  f.profile = profileHead(pssm);
  f.prediction = std::string(kPredictionHeader) + "\n";
  for (std::size_t i = 0; i < residues.size(); ++i) {
    const DsspResidue& r = residues[i];
    const char aa = dsspResidueLetter(r.letter);
    const char ss = reduceState(r.state, reduction);
    f.dssp += plainWord(r.number) + " " + aa + " " + plainWord(std::string(1, r.chain)) + " " + ss + "\n";
    const PssmRow& row = pssm.rows[i];
    f.profile += (row.letter == aa ? row.text : withLetter(row.text, aa)) + "\n";
    const std::string a1 = angles.empty() ? definedAngle(r.phi) : angles[i].angle1;
    const std::string a2 = angles.empty() ? definedAngle(r.psi) : angles[i].angle2;
    const std::string area = angles.empty() ? areaText(r.acc) : angles[i].area;
    f.prediction += std::to_string(i + 1) + " " + aa + " " + ss + " " + a1 + " " + a2 + " " + r.tco + " " + r.kappa +
                    " " + r.alpha + " " + r.xca + " " + r.yca + " " + area + "\n";
  }
  for (const auto& line : pssm.footer) f.profile += line + "\n";

  // Read the files back the way kelvor will, before anything is written.
  const ProteinPaths paths = proteinPaths(root, entry.name);
  checkReadBack(entry.name, root,
                {{paths.dssp, &f.dssp}, {paths.profile, &f.profile}, {paths.prediction, &f.prediction}}, f.residues,
                out.problems);
  if (errorCount(out.problems) == 0) out.files = std::move(f);
  return out;
}

void checkReadBack(const std::string& name, const std::string& root,
                   const std::map<std::string, const std::string*>& made, int residues,
                   std::vector<Problem>& problems) {
  const Loader fromMemory = [&](const std::string& path) -> std::optional<std::string> {
    auto it = made.find(path);
    if (it == made.end()) return std::nullopt;
    return *it->second;
  };
  ProteinCheck back = checkProtein(name, root, fromMemory);
  if (back.residues != residues && errorCount(back.problems) == 0)
    back.problems.push_back(Problem::error(
        "", 0,
        "kelvor would read " + std::to_string(back.residues) + " of its " + std::to_string(residues) + " residues"));
  for (Problem& p : back.problems) {
    if (p.severity == Problem::kError)
      p.text = "chain " + name + ": the files made would not read back as made: " + p.text;
    problems.push_back(std::move(p));
  }
}

std::string fastaOf(const std::string& name, const std::string& dsspPath, const std::string& chain,
                    const std::vector<DsspResidue>& residues) {
  std::string s = ">" + name + " chain " + chainShown(chain, residues) + " of " +
                  std::filesystem::path(dsspPath).filename().string() + ", " + std::to_string(residues.size()) +
                  " residues\n";
  for (std::size_t i = 0; i < residues.size(); ++i) {
    s += dsspResidueLetter(residues[i].letter);
    if (i % 60 == 59 || i + 1 == residues.size()) s += "\n";
  }
  return s;
}

std::vector<std::string> writeChainFiles(const std::string& root, const ChainFiles& files) {
  const ProteinPaths paths = proteinPaths(root, files.name);
  std::vector<std::string> removed;
  for (const auto& [path, content, has] :
       {std::tuple{&paths.dssp, &files.dssp, files.hasDssp}, std::tuple{&paths.profile, &files.profile, true},
        std::tuple{&paths.prediction, &files.prediction, files.hasPrediction}}) {
    std::error_code ec;
    if (!has) {
      if (std::filesystem::remove(*path, ec)) removed.push_back(*path);
      if (ec)
        throw FileError(*path, 0, "cannot remove the file left by an earlier chain of this name: " + ec.message());
      continue;
    }
    const std::filesystem::path dir = std::filesystem::path(*path).parent_path();
    std::filesystem::create_directories(dir, ec);
    if (ec) throw FileError(dir.string(), 0, "cannot make the directory: " + ec.message());
    replaceFiles({{*path, *content}});
  }
  return removed;
}

void writeProteinList(const std::string& path, const std::vector<std::string>& names) {
  std::string text;
  for (const auto& n : names) text += n + "\n";
  const std::filesystem::path dir = std::filesystem::path(path).parent_path();
  if (!dir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) throw FileError(dir.string(), 0, "cannot make the directory: " + ec.message());
  }
  replaceFiles({{path, text}});
}

}  // namespace kelvor::prep
