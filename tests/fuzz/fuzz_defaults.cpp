// Fuzz target: the defaults file, the protein list, the configuration checks and the fold order.
//
// Input: three texts separated by NUL bytes: the defaults file, the protein list (written under
// the name that the defaults file gives, when that is a plain file name), and the command line:
// its first three bytes give the time of day, the rest is the seed-offset argument.
// Besides the sanitizers' checks: getdefs either refuses with one of its errors or leaves part
// sizes in order and an order that is a permutation of the list lines, with the test part one
// run of consecutive lines.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>

#include "config/defaults.h"
#include "config/clock.h"
#include "run/driver.h"
#include "ground/errors.h"
#include "tests/fuzz/fuzz_common.h"

namespace {

// Runs in the scratch directory for the lifetime of one input.
class InScratch {
 public:
  InScratch() : old_(std::filesystem::current_path()) {
    if (::chdir(kelvor::fuzz::scratchDir().c_str()) != 0) kelvor::fuzz::fail("chdir");
  }
  ~InScratch() {
    if (::chdir(old_.c_str()) != 0) kelvor::fuzz::fail("chdir back");
  }

 private:
  std::filesystem::path old_;
};

std::string trimmed(const std::string& s) {
  const std::size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvor;
  std::vector<std::string> parts = fuzz::splitAtNul(data, size);
  parts.resize(3);
  InScratch here;
  fuzz::putFile("kelvor.in", parts[0]);

  Settings settings;
  try {
    settings = readSettings("kelvor.in");
  } catch (const FileError&) {
    return 0;
  }
  const std::string listName = trimmed(settings.listName);
  const bool plainName =
      !listName.empty() && listName.find('/') == std::string::npos && listName != "." && listName != "..";
  if (!plainName) return 0;  // the list would be some other file of this machine
  const bool ownList = listName != "kelvor.in";
  if (ownList) fuzz::putFile(listName, parts[1]);

  const std::string& cmd = parts[2];
  auto byte = [&](std::size_t i) { return i < cmd.size() ? static_cast<unsigned char>(cmd[i]) : 0u; };
  setTimeOfDay({static_cast<int>(byte(0) % 24), static_cast<int>(byte(1) % 60), static_cast<int>(byte(2) % 60)});
  const std::string argument = cmd.size() > 3 ? cmd.substr(3) : std::string();

  DataStore store;
  Network net;
  RunConfig cfg;
  std::vector<std::string> lines;
  try {
    const int offset = seedOffsetFromArgument(argument.empty() ? nullptr : argument.c_str());
    lines = readProteinList(listName);
    cfg = getdefs(store, net, "kelvor.in", offset);
  } catch (const ConfigError&) {
    if (ownList) ::unlink(listName.c_str());
    return 0;
  } catch (const FileError&) {
    if (ownList) ::unlink(listName.c_str());
    return 0;
  }
  if (ownList) ::unlink(listName.c_str());

  const int n = store.nprot;
  const int listLines = static_cast<int>(lines.size());
  KELVOR_FUZZ_CHECK(cfg.reportName == "kelvor.valdav", cfg.reportName);
  KELVOR_FUZZ_CHECK(n == std::min(settings.requested, listLines), std::to_string(n));
  KELVOR_FUZZ_CHECK(0 <= store.ntrain && store.ntrain <= store.ntrval && store.ntrval <= n, "part sizes");
  KELVOR_FUZZ_CHECK(static_cast<int>(store.iorder.size()) >= n && static_cast<int>(store.pname.size()) >= n,
                    "order size");
  std::vector<int> sorted(store.iorder.begin(), store.iorder.begin() + n);
  std::sort(sorted.begin(), sorted.end());
  for (int i = 0; i < n; ++i) KELVOR_FUZZ_CHECK(sorted[i] == i + 1, "the order is not a permutation");
  for (int i = 0; i < n; ++i) {
    KELVOR_FUZZ_CHECK(store.pname[i] == lines[store.iorder[i] - 1], std::to_string(i));
    KELVOR_FUZZ_CHECK(store.pname[i].size() == kNameLength, std::to_string(i));
  }
  // Training and validation keep list order; the test part is consecutive lines.
  for (int i = 1; i < store.ntrval; ++i) KELVOR_FUZZ_CHECK(store.iorder[i] > store.iorder[i - 1], "front order");
  for (int i = store.ntrval + 1; i < n; ++i) KELVOR_FUZZ_CHECK(store.iorder[i] == store.iorder[i - 1] + 1, "test part");
  return 0;
}
