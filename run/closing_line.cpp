#include "run/closing_line.h"

#include <cstdio>

#include "ground/peak_memory.h"
#include "weightio/weight_files.h"

namespace kelvor {

std::string closingLine(double seconds, long peakKiB, const std::vector<std::string>& written) {
  char head[96];
  if (seconds < 60.0)
    std::snprintf(head, sizeof head, "kelvor: done in %.1f s", seconds);
  else
    std::snprintf(head, sizeof head, "kelvor: done in %.1f s (%ld min %02ld s)", seconds,
                  static_cast<long>(seconds) / 60, static_cast<long>(seconds) % 60);
  char mem[48];
  std::snprintf(mem, sizeof mem, ", peak memory %.0f MiB", peakKiB / 1024.0);
  std::string line = std::string(head) + mem + "; wrote";
  for (std::size_t i = 0; i < written.size(); ++i) line += (i ? ", " : " ") + written[i];
  return line;
}

void writeClosingLine(std::chrono::steady_clock::time_point started, const std::string& report, bool firstSaved,
                      bool filterSaved) {
  std::vector<std::string> written{report};
  if (firstSaved)
    for (int n : {77, 78, 79}) written.push_back(weightFileName(n, 0));
  if (filterSaved)
    for (int n : {87, 88}) written.push_back(weightFileName(n, 0));
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
  std::fprintf(stderr, "%s\n", closingLine(took.count(), peakMemoryKiB(), written).c_str());
}

}  // namespace kelvor
