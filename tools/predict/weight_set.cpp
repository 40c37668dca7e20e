#include "tools/predict/weight_set.h"

#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "config/defaults.h"
#include "network/netinit.h"
#include "run/lock.h"
#include "ground/errors.h"
#include "weightio/weight_files.h"

namespace kelvor::predict {
namespace {

std::string inDir(const std::string& dir, const std::string& file) {
  if (dir.empty() || dir == ".") return file;
  return dir.back() == '/' ? dir + file : dir + "/" + file;
}

}  // namespace

void loadWeightSet(WeightSet& set, const std::string& dir, const SettingsOverride& over) {
  set.dir = dir;
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw UsageError("weight set \"" + dir + "\" is not a directory");
  // A training run in the same directory cannot replace the set while it is read. A directory
  // that cannot be written cannot be trained into either: it is read without the lock.
  std::optional<DirectoryLock> lock;
  if (::access(dir.c_str(), W_OK) == 0) lock.emplace(dir);
  double gain = 0.0, dcay = 0.0;
  if (!over.gain || !over.dcay) {
    const std::string defaults = inDir(dir, "kelvor.in");
    if (::stat(defaults.c_str(), &st) != 0)
      throw UsageError("weight set \"" + dir +
                       "\" has no kelvor.in to take gain and dcay from; give --gain and --dcay");
    const Settings s = readSettings(defaults);
    gain = s.gain;
    dcay = s.dcay;
  }
  if (over.gain) gain = *over.gain;
  if (over.dcay) dcay = *over.dcay;

  readwei(set.net, 0, dir);
  readweif(set.net, 0, dir);
  set.net.gain = gain;
  set.net.dcay = dcay;
  attenuation(set.net);
  set.net.hid1[102] = 1.0;
  set.net.hid2[102] = 1.0;
  set.net.fhid[22] = 1.0;
}

}  // namespace kelvor::predict
