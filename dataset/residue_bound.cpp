#include "dataset/residue_bound.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#include "dataset/setio.h"

namespace kelvor {
namespace {

long long lineCount(const std::string& path) {
  // Only regular files: a FIFO or a device may block or never end.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return 0;
  std::vector<char> buffer(1 << 16);
  long long lines = 0;
  char last = '\n';
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0;) {
    for (const char* p = buffer.data(); (p = static_cast<const char*>(std::memchr(p, '\n', buffer.data() + n - p)));
         ++p)
      ++lines;
    last = buffer[n - 1];
  }
  std::fclose(f);
  return lines + (last != '\n' ? 1 : 0);
}

}  // namespace

long long residueBound(const DataStore& store, const std::string& dataRoot) {
  long long bound = 0;
  for (int ix = 1; ix <= store.nprot; ++ix) bound += lineCount(proteinPaths(dataRoot, store.pname[ix - 1]).dssp);
  return bound;
}

}  // namespace kelvor
