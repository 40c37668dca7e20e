#include "weightio/weight_files.h"

#include "ground/errors.h"
#include "ground/freeform_reader.h"
#include "ground/freeform_writer.h"
#include "ground/output.h"

namespace kelvor {
namespace {

void appendLine(std::string& out, double v) {
  out += ' ';
  appendReal(out, v);
  out += '\n';
}

RecordReader openWeights(const std::string& path) {
  RecordReader in = RecordReader::open(path);
  if (in.missing()) throw FileError(path, 0, "weight file is missing");
  return in;
}

// Reads `count` lines of `perLine` values each, in file order, from the current content of
// `path` in the set whose first file is `first`, straight into the places `at` gives. A slash
// that ends a line leaves the values not yet read as they were.
template <typename Place>
void readValues(const std::string& path, const std::string& first, std::size_t count, int perLine, Place at) {
  RecordReader in = openWeights(currentPath(path, first));
  Item items[3];
  for (std::size_t i = 0; i < count; ++i) {
    for (int k = 0; k < perLine; ++k) items[k] = Item::real(at(i * perLine + k));
    const ReadResult r = in.read(items, static_cast<std::size_t>(perLine));
    if (!r.ok()) {
      if (r.status == ReadResult::kEndOfFile)
        throw FileError(in.name(), 0,
                        "end of file after " + std::to_string(i) + " of " + std::to_string(count) +
                            (perLine == 3 ? " lines of three values" : " values"));
      throw FileError(in.name(), r.line, r.describe());
    }
  }
}

std::string inDirectory(const std::string& dir, const std::string& file) {
  if (dir.empty() || dir == ".") return file;
  return dir.back() == '/' ? dir + file : dir + "/" + file;
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
    for (int c = 1; c <= 3; ++c) appendReal(s, net.pwei[pw(m, c)]);
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

namespace {
void readFirstStage(Network& net, const std::string& p77, const std::string& p78, const std::string& p79) {
  readValues(p77, p77, 66660, 1, [&](std::size_t n) -> double& {
    const int i = static_cast<int>(n / (30 * 101)) + 1, f = static_cast<int>(n / 101 % 30) + 1,
              h = static_cast<int>(n % 101) + 1;
    return net.wei1[w1(i, f, h)];
  });
  readValues(p78, p77, 10302, 1, [&](std::size_t n) -> double& {
    return net.wei2[w2(static_cast<int>(n / 101) + 1, static_cast<int>(n % 101) + 1)];
  });
  readValues(p79, p77, 102, 3, [&](std::size_t n) -> double& {
    return net.pwei[pw(static_cast<int>(n / 3) + 1, static_cast<int>(n % 3) + 1)];
  });
}
}  // namespace

void readwei(Network& net, int offset, const std::string& dir) {
  readFirstStage(net, inDirectory(dir, weightFileName(77, offset)), inDirectory(dir, weightFileName(78, offset)),
                 inDirectory(dir, weightFileName(79, offset)));
}

void writeFirstStageAs(const Network& net, const std::string& stem) {
  replaceFiles({{stem + "77", formatFirstStage77(net)},
                {stem + "78", formatFirstStage78(net)},
                {stem + "79", formatFirstStage79(net)}});
}

void readFirstStageAs(Network& net, const std::string& stem) {
  readFirstStage(net, stem + "77", stem + "78", stem + "79");
}

void readweif(Network& net, int offset, const std::string& dir) {
  const std::string first = inDirectory(dir, weightFileName(87, offset));
  readValues(first, first, 1386, 1, [&](std::size_t n) -> double& {
    const int i = static_cast<int>(n / (3 * 21)) + 1, c = static_cast<int>(n / 21 % 3) + 1,
              h = static_cast<int>(n % 21) + 1;
    return net.fwei1[fw1(i, c, h)];
  });
  readValues(inDirectory(dir, weightFileName(88, offset)), first, 66, 1, [&](std::size_t n) -> double& {
    return net.fwei2[fw2(static_cast<int>(n / 3) + 1, static_cast<int>(n % 3) + 1)];
  });
}

}  // namespace kelvor
