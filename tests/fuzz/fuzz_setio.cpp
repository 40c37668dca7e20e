// Fuzz target: reading the per-protein files into the data set.
//
// Input: up to six texts separated by NUL bytes, the DSSP-data, profile and prediction files
// of protein "pa" (the training part) and then of protein "pb" (the test part); a text that is
// not there, or is the one byte 0xFF, is a missing file. The files are written to a scratch data root and read by
// setio. Besides the sanitizers' checks: a stop is one of the specified ones (letter mismatch, unknown structure
// letter, file layer), and a completed read leaves a consistent store: one row per residue, part boundaries in order,
// window bounds by their formulas, class vectors and codes that belong together.
#include <cstdint>
#include <filesystem>
#include <string>

#include "dataset/setio.h"
#include "dataset/store.h"
#include "ground/errors.h"
#include "tests/fuzz/fuzz_common.h"

namespace {

using kelvor::DataStore;

void checkProtein(const DataStore& s, int first, int last) {
  const int n = last - first + 1;
  for (int k = 1; k <= n; ++k) {
    const int r = first + k - 1;
    KELVOR_FUZZ_CHECK(s.winlo[r - 1] == std::max(12 - k, 1), std::to_string(r));
    KELVOR_FUZZ_CHECK(s.winhi[r - 1] == std::min(11 + n - k, 21), std::to_string(r));
    KELVOR_FUZZ_CHECK(s.outlo[r - 1] == 1 && s.outhi[r - 1] == 1, std::to_string(r));
    const double code = s.fin(r, 36);
    const double e = s.fin(r, 33), c = s.fin(r, 34), h = s.fin(r, 35);
    const bool strand = code == -0.6 && e == 1 && c == -1 && h == -1;
    const bool coil = code == -0.2 && e == -1 && c == 1 && h == -1;
    const bool helix = code == 0.5 && e == -1 && c == -1 && h == 1;
    KELVOR_FUZZ_CHECK(strand || coil || helix, std::to_string(r));
    for (int col : {31, 32, 37, 38}) KELVOR_FUZZ_CHECK(s.fin(r, col) == 0.0, std::to_string(r));
    for (int col = 1; col <= 7; ++col) KELVOR_FUZZ_CHECK(s.fin(r, col) >= -1.0 && s.fin(r, col) <= 1.0, "parameter");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvor;
  static const std::string root = [] {
    const std::string r = fuzz::scratchDir() + "/";
    for (const char* sub : {"dssp_data", "new_prf", "kvqout"}) std::filesystem::create_directories(r + sub);
    return r;
  }();

  std::vector<std::string> parts = fuzz::splitAtNul(data, size);
  const char* names[2] = {"pa", "pb"};
  for (int p = 0; p < 2; ++p) {
    ProteinPaths paths = proteinPaths(root, names[p]);
    const std::string* files[3] = {&paths.dssp, &paths.profile, &paths.prediction};
    for (int f = 0; f < 3; ++f) {
      const std::size_t i = static_cast<std::size_t>(3 * p + f);
      const bool present = i < parts.size() && parts[i] != "\xff";
      fuzz::putFile(*files[f], present ? parts[i] : std::string(), present);
    }
  }

  DataStore store;
  store.ntrain = 1;
  store.ntrval = 1;
  store.nprot = 2;
  store.pname = {std::string("pa") + std::string(118, ' '), std::string("pb") + std::string(118, ' ')};
  try {
    setio(store, root);
  } catch (const DataStop&) {
    return 0;
  } catch (const FileError&) {
    return 0;
  }
  const std::size_t rows = static_cast<std::size_t>(store.nta);
  KELVOR_FUZZ_CHECK(store.filin.size() == rows * kColumns, "filin rows");
  KELVOR_FUZZ_CHECK(store.winlo.size() == rows && store.winhi.size() == rows && store.sscode.size() == rows,
                    "edge rows");
  KELVOR_FUZZ_CHECK(store.wincen == 11 && store.outcen == 1, "window centres");
  KELVOR_FUZZ_CHECK(0 <= store.ntatrain && store.ntatrain == store.ntatrval && store.ntatrval <= store.nta,
                    "part boundaries");
  checkProtein(store, 1, store.ntatrain);
  checkProtein(store, store.ntatrain + 1, store.nta);
  return 0;
}
