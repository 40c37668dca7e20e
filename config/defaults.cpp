#include "config/defaults.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "config/protein_list.h"
#include "config/settings_table.h"
#include "config/validate.h"
#include "ground/errors.h"
#include "ground/freeform_reader.h"
#include "ground/freeform_writer.h"
#include "ground/names.h"
#include "ground/output.h"

namespace kelvor {

int roundHalfAway(double x) { return static_cast<int>(x >= 0.0 ? x + 0.5 : x - 0.5); }

Settings readSettings(const std::string& path) {
  RecordReader in = RecordReader::open(path);
  if (in.missing()) {
    std::string here = "the working directory";
    if (char* cwd = ::getcwd(nullptr, 0)) {
      here = cwd;
      std::free(cwd);
    }
    throw FileError(path, 0,
                    "file is missing in " + here +
                        "; kelvor runs in a directory that holds its defaults "
                        "file \"kelvor.in\" (for example examples/ of the source tree; see kelvor --help)");
  }
  Settings s;
  // The values of one line are read together; a failure names the line's first setting.
  for (std::size_t i = 0; i < kSettingFields.size();) {
    const SettingField& head = kSettingFields[i];
    const long at = in.lineOfNextValue();
    std::vector<Item> items;
    std::size_t j = i;
    for (; j < kSettingFields.size() && kSettingFields[j].line == head.line; ++j) {
      const SettingField& f = kSettingFields[j];
      switch (f.kind) {
        case SettingField::kInteger:
          items.push_back(Item::integer(s.*f.integer));
          break;
        case SettingField::kReal:
          items.push_back(Item::real(s.*f.real));
          break;
        case SettingField::kText:
          // A name is read whole, so that one past its field is seen and refused.
          (s.*f.text).assign(f.width, ' ');
          items.push_back(Item::text(s.*f.text, f.isName ? kMaxLineBytes : f.width));
          break;
      }
    }
    const std::string which = " (setting " + std::to_string(head.line) + ", " + head.name + ")";
    try {
      in.readOrThrow(items.data(), items.size());
    } catch (const FileError& e) {
      throw FileError(e.file(), e.line(), e.reason() + which);
    }
    for (std::size_t k = i; k < j; ++k) {
      const SettingField& f = kSettingFields[k];
      if (f.kind != SettingField::kText || !f.isName) continue;
      if (auto problem = nameLengthProblem(s.*f.text))
        throw FileError(path, at, *problem + " (setting " + std::to_string(f.line) + ", " + f.name + ")");
      (s.*f.text).resize(f.width, ' ');
    }
    i = j;
  }
  return s;
}

std::vector<std::string> readProteinList(const std::string& path) {
  RecordReader in = RecordReader::open(path);
  if (in.lineCount() > kMaxProteins)
    throw ConfigError("protein list " + path + " has " + std::to_string(in.lineCount()) + " lines; allowed: at most " +
                      std::to_string(kMaxProteins));
  std::vector<std::string> lines;
  std::string line;
  while (in.readLine(line)) {
    if (auto problem = nameLengthProblem(line)) throw FileError(path, in.nextLine() - 1, *problem);
    lines.push_back(nameField(line));
  }
  checkProteinList(lines, path, in.missing());
  return lines;
}

PartSizes partSizes(int n, double testFraction) {
  PartSizes p;
  p.nprot = n;
  p.test = roundHalfAway(n * testFraction);
  p.ntrval = n - p.test;
  const int v = roundHalfAway((n - p.test) * 0.05);
  p.ntrain = n - p.test - v;
  return p;
}

RunConfig getdefs(DataStore& store, Network& net, const std::string& defaultsName, int seedOffset) {
  RunConfig cfg;
  cfg.reportName = "kelvor.valdav";
  Settings s = readSettings(defaultsName);
  net.rate = s.rate;
  net.momentum = s.momentum;
  net.gain = s.gain;
  net.dcay = s.dcay;
  store.testFraction() = s.testFraction;

  std::string listName(nameOf(s.listName));
  std::vector<std::string> lines = readProteinList(listName);
  const int listLines = static_cast<int>(lines.size());
  int n = s.requested;
  if (s.requested > listLines) {
    writeStdout(Line().text("Protein set too small for number of proteins selected, using full set.").str());
    n = listLines;
  }
  checkSettings(s, defaultsName, seedOffset);

  PartSizes p = partSizes(n, s.testFraction);
  store.nprot = p.nprot;
  store.ntrval = p.ntrval;
  store.ntrain = p.ntrain;
  checkFold(s.fold, s.testFraction, p.nprot, p.test, defaultsName);
  warnUnlikelySettings(s, p.nprot, p.test, defaultsName);

  store.iorder.assign(std::max(n, 0), 0);
  plst(store.nprot, store.ntrval, p.test, s.fold, s.testFraction, store.iorder);
  store.pname.assign(std::max(n, 0), std::string(kNameLength, ' '));
  for (int i = 1; i <= n; ++i) store.pname[i - 1] = lines[store.iorder[i - 1] - 1];

  cfg.epochLimit = s.epochLimit;
  cfg.requested = s.requested;
  cfg.fold = s.fold;
  cfg.settings = s;
  cfg.listLines = listLines;
  cfg.listName = listName;
  return cfg;
}

}  // namespace kelvor
