#include "tools/angles/angle_sets.h"

#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "config/defaults.h"
#include "network/netinit.h"
#include "run/lock.h"
#include "ground/errors.h"
#include "tools/angles/angle_files.h"
#include "weightio/weight_files.h"

namespace kelvor::angles {

void loadAngleSet(AngleSet& set, const std::string& dir) {
  set.dir = dir;
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw FileError(dir, 0,
                    "weight set is not a directory; allowed: a directory holding angles.77, angles.78, "
                    "angles.79 and kelvor.in");
  // A training run in the directory cannot replace the set while it is read; a directory that
  // cannot be written cannot be trained into either, and is read without the lock.
  std::optional<DirectoryLock> lock;
  if (::access(dir.c_str(), W_OK) == 0) lock.emplace(dir, kLockName);
  const std::string defaults = inDir(dir, "kelvor.in");
  if (::stat(defaults.c_str(), &st) != 0)
    throw FileError(defaults, 0,
                    "is missing: the weight set " + dir +
                        " needs the kelvor.in it was trained with "
                        "(gain and dcay)");
  const Settings s = readSettings(defaults);
  readFirstStageAs(set.net, inDir(dir, kWeightStem));
  set.net.gain = s.gain;
  set.net.dcay = s.dcay;
  attenuation(set.net);
  set.net.hid1[102] = 1.0;
  set.net.hid2[102] = 1.0;
  set.net.fhid[22] = 1.0;
}

}  // namespace kelvor::angles
