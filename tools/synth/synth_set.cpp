#include "tools/synth/synth_set.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "ground/errors.h"
#include "tools/synth/synth_chain.h"
#include "tools/synth/synth_random.h"
#include "tools/synth/synth_room.h"

namespace kelvor::synth {
namespace {

namespace fs = std::filesystem;

void writeText(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) throw FileError(path, 0, "cannot be created");
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0 || !ok) throw FileError(path, 0, "cannot be written");
}

std::string chainName(long k, long chains) {
  const std::string number = std::to_string(k);
  const std::size_t digits = std::max<std::size_t>(4, std::to_string(chains).size());
  return "syn" + std::string(digits > number.size() ? digits - number.size() : 0, '0') + number;
}

}  // namespace

std::vector<int> chainLengths(const SetOptions& o) {
  if (o.chains < 0 || o.residues < 0) throw ConfigError("chain and residue counts cannot be negative");
  checkRoom(o, memoryAvailable());
  const long chains = o.chains > 0 ? o.chains : std::max(1L, o.residues / 200);
  if (o.residues > 0 && o.residues < chains)
    throw ConfigError(std::to_string(o.residues) + " residues cannot fill " + std::to_string(chains) + " chains");
  Random random(o.seed ^ 0x5EED0F1E57ull);
  std::vector<int> lengths(static_cast<std::size_t>(chains));
  double total = 0.0;
  for (int& n : lengths) {
    n = std::clamp(static_cast<int>(std::lround(180.0 * std::exp(0.55 * random.bell()))), 25, 900);
    total += n;
  }
  if (o.residues == 0) return lengths;

  // Scale to the total asked for, then hand out what rounding down left over, one each.
  long sum = 0;
  for (int& n : lengths) {
    n = std::max(1, static_cast<int>(std::floor(n * (static_cast<double>(o.residues) / total))));
    sum += n;
  }
  for (std::size_t k = 0; sum != o.residues; k = (k + 1) % lengths.size()) {
    if (sum < o.residues) {
      ++lengths[k];
      ++sum;
    } else if (lengths[k] > 1) {
      --lengths[k];
      --sum;
    }
  }
  return lengths;
}

std::string existingSetFile(const SetOptions& o) {
  const fs::path root(o.dir);
  std::error_code ec;
  for (const char* file : {"proteins.list", "kelvor.in"}) {
    if (std::string(file) == "kelvor.in" && o.epochs < 0) continue;
    if (fs::exists(fs::symlink_status(root / file, ec))) return (root / file).string();
  }
  for (const char* sub : {"dssp_data", "new_prf", "kvqout"}) {
    fs::directory_iterator in(root / sub, ec);
    if (!ec && in != fs::directory_iterator()) return in->path().string();
  }
  return {};
}

SetSummary writeSet(const SetOptions& o) {
  const std::vector<int> lengths = chainLengths(o);
  const fs::path root(o.dir);
  if (!o.overwrite) {
    const std::string found = existingSetFile(o);
    if (!found.empty())
      throw FileError(found, 0,
                      "exists: " + o.dir +
                          " holds a data set already, which the new one would "
                          "overwrite; give --overwrite to replace it, or choose an empty directory");
  }
  std::error_code ec;
  for (const char* sub : {"dssp_data", "new_prf", "kvqout"}) {
    fs::create_directories(root / sub, ec);
    if (ec) throw FileError((root / sub).string(), 0, "cannot be created: " + ec.message());
  }

  SetSummary summary;
  summary.chains = static_cast<long>(lengths.size());
  summary.shortest = *std::min_element(lengths.begin(), lengths.end());
  summary.longest = *std::max_element(lengths.begin(), lengths.end());
  Random random(o.seed);
  ChainTexts texts;
  std::string list;
  for (std::size_t k = 0; k < lengths.size(); ++k) {
    const std::string name = chainName(static_cast<long>(k) + 1, summary.chains);
    makeChain(random, lengths[k], texts);
    writeText((root / "dssp_data" / name).string(), texts.dssp);
    writeText((root / "new_prf" / (name + ".mat")).string(), texts.profile);
    writeText((root / "kvqout" / (name + ".kvqout")).string(), texts.prediction);
    list += name + "\n";
    summary.residues += lengths[k];
  }
  writeText((root / "proteins.list").string(), list);
  if (o.epochs >= 0)
    writeText((root / "kelvor.in").string(), std::to_string(o.epochs) + "\n" + std::to_string(summary.chains) +
                                                 "\n0\n0.001\n0.5\n0.5\n1.0\n1\n0.1\n'proteins.list' real\n");
  return summary;
}

}  // namespace kelvor::synth
