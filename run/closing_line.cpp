#include "run/closing_line.h"

#include <cstdio>
#include <sys/resource.h>

namespace kelvor {

std::string closingLine(double seconds, long peakKiB, const std::vector<std::string>& written) {
  char head[96];
  if (seconds < 60.0) std::snprintf(head, sizeof head, "kelvor: done in %.1f s", seconds);
  else
    std::snprintf(head, sizeof head, "kelvor: done in %.1f s (%ld min %02ld s)", seconds,
                  static_cast<long>(seconds) / 60, static_cast<long>(seconds) % 60);
  char mem[48];
  std::snprintf(mem, sizeof mem, ", peak memory %.0f MiB", peakKiB / 1024.0);
  std::string line = std::string(head) + mem + "; wrote";
  for (std::size_t i = 0; i < written.size(); ++i) line += (i ? ", " : " ") + written[i];
  if (written.empty()) line += " nothing";
  return line;
}

long peakMemoryKiB() {
  struct rusage u {};
  if (::getrusage(RUSAGE_SELF, &u) != 0) return 0;
  return u.ru_maxrss;
}

}  // namespace kelvor
