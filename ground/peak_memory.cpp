#include "ground/peak_memory.h"

#include <sys/resource.h>

namespace kelvor {

long peakMemoryKiB() {
  struct rusage u {};
  if (::getrusage(RUSAGE_SELF, &u) != 0) return 0;
  return u.ru_maxrss;
}

}  // namespace kelvor
