#include "config/validate.h"

#include <cmath>
#include <cstdio>
#include <sys/stat.h>

#include "config/protein_list.h"
#include "dataset/setio.h"
#include "config/clock.h"
#include "config/environment.h"
#include "network/netinit.h"
#include "ground/errors.h"
#include "ground/freeform_writer.h"

namespace kelvor {
namespace {
std::string shown(double v) {
  std::string s = formatReal(v);
  return s.substr(s.find_first_not_of(' '), s.find_last_not_of(' ') - s.find_first_not_of(' ') + 1);
}

// The folds whose test block of t proteins lies inside the list of n: "1 to 10", or "none".
std::string foldsInside(double fraction, int n, int t) {
  int first = 0, last = 0;
  for (int k = 1; k <= n + 1; ++k) {
    const long long hi = blockTop(k, fraction, n);
    if (hi > n) break;
    if (hi >= t) {
      if (first == 0) first = k;
      last = k;
    }
  }
  return first > 0 ? std::to_string(first) + " to " + std::to_string(last) : "none";
}

void warn(const std::string& text) { std::fprintf(stderr, "kelvor: warning: %s\n", text.c_str()); }
}  // namespace

void checkSettings(const Settings& s, const std::string& file, int seedOffset) {
  if (!(s.testFraction >= 0.0 && s.testFraction <= 1.0))
    throw ConfigError("test fraction (setting 9 of " + file + ") is " + shown(s.testFraction) + "; allowed: 0 to 1");
  if (s.requested < 0)
    throw ConfigError("requested protein count (setting 2 of " + file + ") is " + std::to_string(s.requested) +
                      "; allowed: 0 or more");
  TimeOfDay t{};
  itime(t);
  if (!seedFromTime(seedOffset, t)) {
    char when[16];
    std::snprintf(when, sizeof when, "%02d:%02d:%02d", t[0], t[1], t[2]);
    throw ConfigError("seed offset (command line) is " + std::to_string(seedOffset) + ": at " + when +
                      " its seed formula leaves the 32-bit range; allowed: -2 to "
                      "100000000 at any time of day");
  }
}

void checkFold(int fold, double fraction, int n, int t, const std::string& file) {
  if (foldUsable(fold, fraction, n, t)) return;
  const long long hi = blockTop(fold, fraction, n);
  const std::string range = foldsInside(fraction, n, t);
  throw ConfigError("fold number (setting 8 of " + file + ") is " + std::to_string(fold) + ": its test block of " +
                    std::to_string(t) + " proteins (list lines " + std::to_string(hi - t + 1) + " to " +
                    std::to_string(hi) + ") straddles an end of the list of " + std::to_string(n) +
                    " proteins; allowed: " + range + " (or 0 and below, whose test part is the last " +
                    std::to_string(t) + " proteins)");
}

void warnUnlikelySettings(const Settings& s, int n, int t, const std::string& file) {
  if (s.epochLimit > 0 && s.rate == 0.0)
    warn("learning rate (setting 4 of " + file +
         ") is 0: training changes no weight (a comma separates "
         "values, so 0,001 reads as 0; write 0.001)");
  const long long hi = blockTop(s.fold, s.testFraction, n);
  if (t > 0 && s.fold >= 1 && (hi <= 0 || hi >= static_cast<long long>(n) + t))
    warn("fold number (setting 8 of " + file + ") is " + std::to_string(s.fold) + ": its test block (list lines " +
         std::to_string(hi - t + 1) + " to " + std::to_string(hi) + ") lies wholly outside the list of " +
         std::to_string(n) + " proteins, so the test part is the last " + std::to_string(t) +
         " proteins, as for fold 0; folds with a block inside the list: " + foldsInside(s.testFraction, n, t));
}

void checkProteinList(const std::vector<std::string>& lines, const std::string& path, bool missing) {
  if (missing) throw FileError(path, 0, "the protein list is missing; allowed: a file naming one protein a line");
  if (lines.empty()) throw FileError(path, 0, "the protein list names no protein; allowed: one protein a line");
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].find_first_not_of(" \t\r") == std::string::npos)
      throw FileError(path, static_cast<long>(i) + 1,
                      "blank line in the protein list; allowed: one protein name a line");
}

void checkOutputsAreNotInputs(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs) {
  for (const std::string& out : outputs) {
    struct stat o {};
    if (::stat(out.c_str(), &o) != 0 || !S_ISREG(o.st_mode)) continue;
    for (const std::string& in : inputs) {
      struct stat i {};
      if (::stat(in.c_str(), &i) == 0 && i.st_dev == o.st_dev && i.st_ino == o.st_ino)
        throw FileError(
            out, 0,
            "is the input file \"" + in + "\" (through a link); the run would overwrite it, so nothing is written");
    }
  }
}

void checkRun(const RunConfig& cfg, const DataStore& store, const std::string& defaultsName,
              const std::string& dataRoot, const std::vector<std::string>& outputs) {
  checkEnvironment();
  std::vector<std::string> inputs{defaultsName, cfg.listName};
  for (int k = 0; k < store.nprot; ++k) {
    const ProteinPaths p = proteinPaths(dataRoot, store.pname[k]);
    inputs.insert(inputs.end(), {p.dssp, p.profile, p.prediction});
  }
  checkOutputsAreNotInputs(outputs.empty() ? std::vector<std::string>{cfg.reportName, "kelvor.lock"} : outputs, inputs);
}

}  // namespace kelvor
