#include "tools/predict/weight_set.h"

#include <sys/stat.h>
#include <vector>

#include "config/defaults.h"
#include "network/netinit.h"
#include "run/text/errors.h"
#include "run/text/freeform_reader.h"
#include "tools/predict/errors.h"
#include "weightio/weight_files.h"

namespace kelvor::predict {
namespace {

std::string inDir(const std::string& dir, const std::string& file) {
  if (dir.empty() || dir == ".") return file;
  return dir.back() == '/' ? dir + file : dir + "/" + file;
}

// `count` lines of `perLine` values each, the first values of each line, in file order.
std::vector<double> readValues(const std::string& path, std::size_t count, int perLine) {
  RecordReader in = RecordReader::open(path);
  if (in.missing()) throw FileError(path, 0, "weight file is missing");
  std::vector<double> v(count * perLine);
  for (std::size_t i = 0; i < count; ++i) {
    ReadResult r = perLine == 1 ? in.read({Item::real(v[i])})
                                : in.read({Item::real(v[3 * i]), Item::real(v[3 * i + 1]), Item::real(v[3 * i + 2])});
    if (r.status == ReadResult::kEndOfFile)
      throw FileError(path, 0, "end of file after " + std::to_string(i) + " of " + std::to_string(count) + " lines");
    if (!r.ok()) throw FileError(path, r.line, r.describe());
  }
  return v;
}

}  // namespace

void readWeightFiles(Network& net, const std::string& dir) {
  const std::vector<double> a = readValues(inDir(dir, weightFileName(77, 0)), 66660, 1);
  const std::vector<double> b = readValues(inDir(dir, weightFileName(78, 0)), 10302, 1);
  const std::vector<double> c = readValues(inDir(dir, weightFileName(79, 0)), 102, 3);
  const std::vector<double> d = readValues(inDir(dir, weightFileName(87, 0)), 1386, 1);
  const std::vector<double> e = readValues(inDir(dir, weightFileName(88, 0)), 66, 1);
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
  n = 0;
  for (int i = 1; i <= 22; ++i)
    for (int k = 1; k <= 3; ++k)
      for (int h = 1; h <= 21; ++h) net.fwei1[fw1(i, k, h)] = d[n++];
  n = 0;
  for (int m = 1; m <= 22; ++m)
    for (int k = 1; k <= 3; ++k) net.fwei2[fw2(m, k)] = e[n++];
}

void loadWeightSet(WeightSet& set, const std::string& dir, const SettingsOverride& over) {
  set.dir = dir;
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw UsageError("weight set \"" + dir + "\" is not a directory");
  double gain = 0.0, dcay = 0.0;
  if (!over.gain || !over.dcay) {
    const std::string defaults = inDir(dir, "kelvor.in");
    if (::stat(defaults.c_str(), &st) != 0)
      throw UsageError("weight set \"" + dir + "\" has no kelvor.in to take gain and dcay from; give --gain and --dcay");
    const Settings s = readSettings(defaults);
    gain = s.gain;
    dcay = s.dcay;
  }
  if (over.gain) gain = *over.gain;
  if (over.dcay) dcay = *over.dcay;

  readWeightFiles(set.net, dir);
  set.net.gain = gain;
  set.net.dcay = dcay;
  attenuation(set.net);
  set.net.hid1[102] = 1.0;
  set.net.hid2[102] = 1.0;
  set.net.fhid[22] = 1.0;
}

}  // namespace kelvor::predict
