#include "tools/angles/predict_chains.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "config/defaults.h"
#include "config/environment.h"
#include "network/engine.h"
#include "network/scores.h"
#include "ground/errors.h"
#include "ground/names.h"
#include "tools/angles/kvqout_writer.h"
#include "tools/angles/profile_chain.h"

namespace fs = std::filesystem;

namespace kelvor::angles {
namespace {

void writeText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw FileError(path.string(), 0, "cannot write");
}

}  // namespace

std::vector<double> averagedOutputs(std::vector<AngleSet>& sets, DataStore& store) {
  const std::size_t values = outputValues(store.nta);
  std::vector<double> sum(values, 0.0);
  for (AngleSet& set : sets) {
    set.net.sizeOutputs(store.nta);
    std::unique_ptr<Engine> engine = makeEngine(set.net, store, engineFromEnvironment());
    engine->importWeights();
    initphi(store);
    engine->predictFirst(1, store.nta);
    for (std::size_t i = 0; i < values; ++i) sum[i] += set.net.outs[i];
  }
  const double count = static_cast<double>(sets.size());
  for (double& v : sum) v /= count;
  return sum;
}

long long predictChains(const std::vector<std::string>& names, std::vector<AngleSet>& sets, const std::string& root,
                        const std::string& outDir, int batchResidues) {
  const fs::path dir = fs::path(outDir) / "kvqout";
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec || !fs::is_directory(dir)) throw FileError(dir.string(), 0, "cannot create the output directory");

  ProfileReader reader(root);
  DataStore store;
  prepareChainStore(store);
  std::vector<ProfileChain> chains;
  double areaMax = 0.0;
  long long written = 0;
  auto flush = [&] {
    const std::vector<double> outputs = store.nta > 0 ? averagedOutputs(sets, store) : std::vector<double>();
    for (const ProfileChain& c : chains) {
      const double* o = c.first > 0 ? outputs.data() + static_cast<std::size_t>(c.first - 1) * 3 : nullptr;
      writeText(dir / (c.name + ".kvqout"), predictionFileText(c.residues, o, areaMax));
      written += c.length;
    }
    chains.clear();
    store = DataStore();
    prepareChainStore(store);
  };
  for (const std::string& name : names) {
    chains.push_back(reader.read(store, name));
    if (chains.back().length == 0)
      std::fprintf(stderr, "kelvor-angles: warning: chain %s has no residues in %s\n", chains.back().name.c_str(),
                   reader.profilePath(name).c_str());
    if (store.nta >= batchResidues) flush();
  }
  flush();
  return written;
}

std::vector<std::string> chainNames(const std::string& list) {
  std::vector<std::string> names;
  long line = 0;
  for (const std::string& l : readProteinList(list)) {
    ++line;
    const std::string name(nameOf(l));
    if (name.find('/') != std::string::npos || name.find("..") != std::string::npos)
      throw FileError(list, line, "chain name \"" + name + "\" holds \"/\" or \"..\"; allowed: a plain file name");
    names.push_back(name);
  }
  return names;
}

}  // namespace kelvor::angles
