#include "weightio/weight_files.h"

#include <vector>

#include "run/text/errors.h"
#include "run/text/freeform_reader.h"
#include "run/text/freeform_writer.h"
#include "run/text/output.h"

namespace kelvor {
namespace {

void appendLine(std::string& out, double v) {
  out += ' ';
  out += formatReal(v);
  out += '\n';
}

RecordReader openWeights(const std::string& path) {
  RecordReader in = RecordReader::open(path);
  if (in.missing()) throw FileError(path, 0, "weight file is missing");
  return in;
}

// Reads `count` lines of `perLine` values each, in file order, from the current content of `path`
// in the set whose first file is `first`.
std::vector<double> readValues(const std::string& path, const std::string& first, std::size_t count, int perLine) {
  RecordReader in = openWeights(currentPath(path, first));
  std::vector<double> values(count * perLine);
  for (std::size_t i = 0; i < count; ++i) {
    ReadResult r;
    if (perLine == 1) r = in.read({Item::real(values[i])});
    else r = in.read({Item::real(values[3 * i]), Item::real(values[3 * i + 1]), Item::real(values[3 * i + 2])});
    if (!r.ok()) {
      if (r.status == ReadResult::kEndOfFile)
        throw FileError(in.name(), 0, "end of file after " + std::to_string(i) + " of " + std::to_string(count) +
                                     (perLine == 3 ? " lines of three values" : " values"));
      throw FileError(in.name(), r.line, r.describe());
    }
  }
  return values;
}

}  // namespace

std::string weightFileName(int number, int offset) { return "fort." + std::to_string(number + offset); }

std::string formatFirstStage77(const Network& net) {
  std::string s;
  s.reserve(66660 * 26);
  for (int i = 1; i <= 22; ++i)
    for (int f = 1; f <= 30; ++f)
      for (int h = 1; h <= 101; ++h) appendLine(s, net.wei1[w1(i, f, h)]);
  return s;
}

std::string formatFirstStage78(const Network& net) {
  std::string s;
  s.reserve(10302 * 26);
  for (int m = 1; m <= 102; ++m)
    for (int k = 1; k <= 101; ++k) appendLine(s, net.wei2[w2(m, k)]);
  return s;
}

std::string formatFirstStage79(const Network& net) {
  std::string s;
  for (int m = 1; m <= 102; ++m) {
    s += ' ';
    for (int c = 1; c <= 3; ++c) s += formatReal(net.pwei[pw(m, c)]);
    s += '\n';
  }
  return s;
}

std::string formatFilter87(const Network& net) {
  std::string s;
  for (int i = 1; i <= 22; ++i)
    for (int c = 1; c <= 3; ++c)
      for (int h = 1; h <= 21; ++h) appendLine(s, net.fwei1[fw1(i, c, h)]);
  return s;
}

std::string formatFilter88(const Network& net) {
  std::string s;
  for (int m = 1; m <= 22; ++m)
    for (int c = 1; c <= 3; ++c) appendLine(s, net.fwei2[fw2(m, c)]);
  return s;
}

void outwei(const Network& net, int offset) {
  replaceFiles({{weightFileName(77, offset), formatFirstStage77(net)},
                {weightFileName(78, offset), formatFirstStage78(net)},
                {weightFileName(79, offset), formatFirstStage79(net)}});
}

void outweif(const Network& net, int offset) {
  replaceFiles({{weightFileName(87, offset), formatFilter87(net)}, {weightFileName(88, offset), formatFilter88(net)}});
}

void readwei(Network& net, int offset) {
  const std::string first = weightFileName(77, offset);
  std::vector<double> a = readValues(first, first, 66660, 1);
  std::vector<double> b = readValues(weightFileName(78, offset), first, 10302, 1);
  std::vector<double> c = readValues(weightFileName(79, offset), first, 102, 3);
  std::size_t n = 0;
  for (int i = 1; i <= 22; ++i)
    for (int f = 1; f <= 30; ++f)
      for (int h = 1; h <= 101; ++h) net.wei1[w1(i, f, h)] = a[n++];
  n = 0;
  for (int m = 1; m <= 102; ++m)
    for (int k = 1; k <= 101; ++k) net.wei2[w2(m, k)] = b[n++];
  n = 0;
  for (int m = 1; m <= 102; ++m)
    for (int k = 1; k <= 3; ++k) net.pwei[pw(m, k)] = c[n++];
}

void readweif(Network& net, int offset) {
  const std::string first = weightFileName(87, offset);
  std::vector<double> a = readValues(first, first, 1386, 1);
  std::vector<double> b = readValues(weightFileName(88, offset), first, 66, 1);
  std::size_t n = 0;
  for (int i = 1; i <= 22; ++i)
    for (int c = 1; c <= 3; ++c)
      for (int h = 1; h <= 21; ++h) net.fwei1[fw1(i, c, h)] = a[n++];
  n = 0;
  for (int m = 1; m <= 22; ++m)
    for (int c = 1; c <= 3; ++c) net.fwei2[fw2(m, c)] = b[n++];
}

}  // namespace kelvor
