#include "tools/prep/prep_run.h"

#include <filesystem>
#include <string>
#include <vector>

#include "dataset/store.h"
#include "ground/errors.h"
#include "ground/output.h"
#include "config/validate.h"
#include "dataset/setio.h"
#include "tools/prep/chain_list.h"
#include "tools/prep/check.h"
#include "tools/prep/convert.h"

namespace kelvor::prep {
namespace {

void report(std::FILE* err, const std::vector<Problem>& problems) {
  for (const auto& p : problems) std::fprintf(err, "kelvor-prep: %s\n", p.str().c_str());
}

std::string plural(std::size_t n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

// The files a conversion reads: the chains list and every chain's DSSP, PSSM and angle files.
std::vector<std::string> inputsOf(const std::string& chains, const std::vector<ChainEntry>& entries) {
  std::vector<std::string> in{chains};
  for (const ChainEntry& e : entries)
    for (const std::string* f : {&e.dssp, &e.pssm, &e.angles})
      if (!f->empty()) in.push_back(*f);
  return in;
}

}  // namespace

int runConvert(const Options& o, std::FILE* out, std::FILE* err) {
  std::vector<Problem> problems;
  const std::vector<ChainEntry> entries = readChainList(o.chains, problems);
  const bool listFaults = errorCount(problems) > 0;
  if (entries.empty() && !listFaults) problems.push_back(Problem::error(o.chains, 0, "no chains listed"));

  DsspCache cache;
  std::vector<ChainFiles> good;
  std::vector<std::string> bad;
  long residues = 0;
  for (const ChainEntry& entry : entries) {
    BuildResult r = buildChain(entry, o.reduction, o.dataRoot, cache);
    for (auto& p : r.problems) problems.push_back(std::move(p));
    if (r.files) {
      residues += r.files->residues;
      good.push_back(std::move(*r.files));
    } else {
      bad.push_back(entry.name);
    }
  }
  if (residues > kMaxResidues)
    problems.push_back(Problem::error(o.chains, 0,
                                      "the chains hold " + std::to_string(residues) +
                                          " residues; kelvor takes at most " + std::to_string(kMaxResidues)));
  report(err, problems);

  if (residues > kMaxResidues || good.empty() || ((!bad.empty() || listFaults) && !o.skipBad)) {
    std::string why = good.empty() ? "no chain converts"
                      : residues > kMaxResidues
                          ? "too many residues"
                          : plural(bad.size(), "chain") + " of " + std::to_string(entries.size()) + " do not convert";
    if (listFaults && !o.skipBad && bad.empty() && !good.empty()) why = "the chains list has faulty lines";
    std::fprintf(err, "kelvor-prep: nothing written: %s (%s)\n", why.c_str(),
                 plural(errorCount(problems), "problem").c_str());
    return kExitData;
  }

  std::vector<std::string> outputs{o.list};
  for (const ChainFiles& f : good) {
    const ProteinPaths p = proteinPaths(o.dataRoot, f.name);  // as writeChainFiles names them
    outputs.insert(outputs.end(), {p.dssp, p.profile, p.prediction});
  }
  checkOutputsAreNotInputs(outputs, inputsOf(o.chains, entries));

  std::vector<std::string> names;
  std::size_t awaiting = 0;
  for (const ChainFiles& f : good) {
    for (const std::string& path : writeChainFiles(o.dataRoot, f))
      std::fprintf(err, "kelvor-prep: removed %s, left by an earlier chain %s; this one has no structure%s\n",
                   path.c_str(), f.name.c_str(), f.hasPrediction ? "" : " and no angle table");
    if (!f.hasPrediction) ++awaiting;
    names.push_back(f.name);
  }
  writeProteinList(o.list, names);
  if (!bad.empty() || listFaults)
    std::fprintf(err, "kelvor-prep: left out %s that did not convert\n",
                 plural(bad.size() + (listFaults ? errorCount(problems) - bad.size() : 0), "chain").c_str());
  std::fprintf(out, "kelvor-prep: wrote %s, %s, under %s; protein list %s\n", plural(good.size(), "chain").c_str(),
               plural(static_cast<std::size_t>(residues), "residue").c_str(), o.dataRoot.c_str(), o.list.c_str());
  if (awaiting > 0)
    std::fprintf(out,
                 "kelvor-prep: %s of unknown structure without an angle table: make the missing kvqout files with "
                 "kelvor-angles --predict -w MODEL -l %s -d %s -o %s\n",
                 plural(awaiting, "chain").c_str(), o.list.c_str(), o.dataRoot.c_str(), o.dataRoot.c_str());
  return kExitOk;
}

int runFasta(const Options& o, std::FILE* out, std::FILE* err) {
  std::vector<Problem> problems;
  const std::vector<ChainEntry> entries = readChainList(o.chains, problems);
  if (entries.empty() && errorCount(problems) == 0) problems.push_back(Problem::error(o.chains, 0, "no chains listed"));
  DsspCache cache;
  std::vector<std::pair<std::string, std::string>> files;
  for (const ChainEntry& entry : entries) {
    if (!entry.hasStructure()) {
      problems.push_back(Problem::error(
          o.chains, entry.line,
          "chain " + entry.name + " has no DSSP file to take a sequence from; make its PSSM from its own sequence"));
      continue;
    }
    try {
      const std::vector<DsspResidue> residues = chainResidues(cache.get(entry.dssp), entry.chain);
      files.emplace_back((std::filesystem::path(o.fastaDir) / (entry.name + ".fasta")).string(),
                         fastaOf(entry.name, entry.dssp, entry.chain, residues));
    } catch (const ProblemError& e) {
      problems.push_back(e.problem());
    }
  }
  report(err, problems);
  if (errorCount(problems) > 0) {
    std::fprintf(err, "kelvor-prep: nothing written (%s)\n", plural(errorCount(problems), "problem").c_str());
    return kExitData;
  }
  std::vector<std::string> outputs;
  for (const auto& f : files) outputs.push_back(f.first);
  checkOutputsAreNotInputs(outputs, inputsOf(o.chains, entries));
  std::error_code ec;
  std::filesystem::create_directories(o.fastaDir, ec);
  if (ec) throw FileError(o.fastaDir, 0, "cannot make the directory: " + ec.message());
  for (const auto& f : files) replaceFiles({f});
  std::fprintf(out, "kelvor-prep: wrote %s to %s\n", plural(files.size(), "FASTA file").c_str(), o.fastaDir.c_str());
  return kExitOk;
}

int runCheck(const Options& o, std::FILE* out, std::FILE* err) {
  const RootCheck rc = checkDataRoot(o.dataRoot, o.list, diskLoader());
  report(err, rc.problems);
  const std::size_t errors = errorCount(rc.problems), warnings = rc.problems.size() - errors;
  const std::string counts = plural(static_cast<std::size_t>(rc.proteins), "protein") + ", " +
                             plural(static_cast<std::size_t>(rc.residues), "residue");
  if (errors > 0) {
    std::fprintf(err, "kelvor-prep: %s and %s in %d of %s (list %s, data root %s)\n", plural(errors, "problem").c_str(),
                 plural(warnings, "warning").c_str(), rc.faulty,
                 plural(static_cast<std::size_t>(rc.proteins), "protein").c_str(), o.list.c_str(), o.dataRoot.c_str());
    return kExitData;
  }
  std::fprintf(out, "kelvor-prep: %s: no problems, %s (list %s, data root %s)\n", counts.c_str(),
               plural(warnings, "warning").c_str(), o.list.c_str(), o.dataRoot.c_str());
  return kExitOk;
}

}  // namespace kelvor::prep
