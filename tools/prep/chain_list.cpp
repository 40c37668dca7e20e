#include "tools/prep/chain_list.h"

#include <filesystem>
#include <set>

#include "dataset/store.h"
#include "ground/names.h"

namespace kelvor::prep {
namespace {

std::string resolved(const std::string& dir, const std::string& file) {
  if (file.empty() || file[0] == '/' || dir.empty()) return file;
  return (std::filesystem::path(dir) / file).string();
}

}  // namespace

std::optional<std::string> badName(const std::string& name) {
  if (name.empty()) return "an empty name";
  if (auto problem = nameLengthProblem(name)) return *problem;
  if (name == "." || name == "..") return "name \"" + name + "\" names a directory";
  for (unsigned char c : name) {
    if (c == '/') return "name \"" + name + "\" holds a '/'";
    if (c <= ' ' || c == 127) return "name \"" + name + "\" holds a blank or a control character";
  }
  return std::nullopt;
}

std::vector<ChainEntry> readChainList(const std::string& path, std::vector<Problem>& problems) {
  return parseChainList(path, loadExisting(path), problems);
}

std::vector<ChainEntry> parseChainList(const std::string& path, const std::string& text,
                                       std::vector<Problem>& problems) {
  const std::string dir = std::filesystem::path(path).parent_path().string();
  std::vector<ChainEntry> out;
  std::set<std::string> seen;
  const std::vector<std::string> lines = splitLines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::vector<std::string> w = words(lines[i]);
    if (w.empty() || w[0][0] == '#') continue;
    const long no = static_cast<long>(i) + 1;
    if (w.size() < 3 || w.size() > 5) {
      problems.push_back(
          Problem::error(path, no,
                         "a chain line holds NAME DSSP-FILE CHAIN PSSM-FILE [ANGLE-TABLE]; this one has " +
                             std::to_string(w.size()) + " fields"));
      continue;
    }
    if (auto why = badName(w[0])) {
      problems.push_back(Problem::error(path, no, *why));
      continue;
    }
    if (w[2] != "-" && w[2].size() != 1) {
      problems.push_back(Problem::error(
          path, no, "chain \"" + w[2] + "\": a classic DSSP file holds one-character chain identifiers (or give -)"));
      continue;
    }
    if (w[1] == "-" && w[2] != "-") {
      problems.push_back(Problem::error(
          path, no,
          "chain \"" + w[2] + "\" of no DSSP file: a chain of unknown structure gives - for both DSSP-FILE and CHAIN"));
      continue;
    }
    if (!seen.insert(w[0]).second) {
      problems.push_back(Problem::error(path, no, "chain name " + w[0] + " is given twice"));
      continue;
    }
    ChainEntry c;
    c.line = no;
    c.name = w[0];
    if (w[1] != "-") c.dssp = resolved(dir, w[1]);
    c.chain = w[2];
    if (w.size() > 3) c.pssm = resolved(dir, w[3]);
    if (w.size() > 4) c.angles = resolved(dir, w[4]);
    out.push_back(std::move(c));
  }
  if (out.size() > static_cast<std::size_t>(kMaxProteins))
    problems.push_back(Problem::error(
        path, 0,
        std::to_string(out.size()) + " chains; a kelvor protein list holds at most " + std::to_string(kMaxProteins)));
  return out;
}

}  // namespace kelvor::prep
