#include "config/defaults.h"

#include <cmath>
#include <cstdio>

#include "config/protein_list.h"
#include "config/validate.h"
#include "run/text/errors.h"
#include "run/text/freeform_reader.h"
#include "run/text/freeform_writer.h"
#include "run/text/output.h"

namespace kelvor {

int roundHalfAway(double x) { return static_cast<int>(x >= 0.0 ? x + 0.5 : x - 0.5); }

Settings readSettings(const std::string& path) {
  RecordReader in = RecordReader::open(path);
  Settings s;
  s.listName.assign(kNameLength, ' ');
  s.word.assign(6, ' ');
  // Each setting's failure names it: the file layer's report, then the setting.
  int number = 0;
  auto read = [&](const char* name, std::initializer_list<Item> items) {
    ++number;
    try {
      in.readOrThrow(items);
    } catch (const FileError& e) {
      throw FileError(e.file(), e.line(), e.reason() + " (setting " + std::to_string(number) + ", " + name + ")");
    }
  };
  read("epoch limit", {Item::integer(s.epochLimit)});
  read("requested protein count", {Item::integer(s.requested)});
  read("unused integer", {Item::integer(s.unused)});
  read("learning rate", {Item::real(s.rate)});
  read("momentum", {Item::real(s.momentum)});
  read("gain", {Item::real(s.gain)});
  read("attenuation scale dcay", {Item::real(s.dcay)});
  read("fold number", {Item::integer(s.fold)});
  read("test fraction", {Item::real(s.testFraction)});
  read("protein list file name", {Item::text(s.listName, kNameLength), Item::text(s.word, 6)});
  return s;
}

std::vector<std::string> readProteinList(const std::string& path) {
  RecordReader in = RecordReader::open(path);
  if (in.lineCount() > kMaxProteins)
    throw ConfigError("protein list " + path + " has " + std::to_string(in.lineCount()) +
                      " lines; allowed: at most " + std::to_string(kMaxProteins));
  std::vector<std::string> lines;
  std::string line;
  while (in.readLine(line, kNameLength)) lines.push_back(line);
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

  std::string listName = s.listName.substr(0, s.listName.find_last_not_of(' ') + 1);
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
