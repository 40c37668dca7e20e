// What a checkpoint costs: its size, encoding it, replacing the file (written, synced, renamed),
// reading it back, and the one-off hash of the data set that a run's first checkpoint and every
// resume compute, for data sets of the given sizes (residues).
//
//   ./build/checkpoint_cost [residues ...]      default: 46047 (the example set) 1000000
// Runs in a scratch directory under $TMPDIR; prints the CPU and the median of 9 repeats.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "network/netinit.h"
#include "run/checkpoint.h"
#include "run/run_identity.h"

namespace {

using namespace kelvor;

double medianMs(const std::function<void()>& work, int repeats = 9) {
  std::vector<double> ms;
  for (int i = 0; i < repeats; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    work();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

std::string cpuName() {
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown CPU";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {46047, 1000000};
  // The system's scratch directory: TMPDIR when it names one, else /tmp.
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kelvor-cp-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  std::printf("CPU: %s, %ld cores online; scratch directory %s\n", cpuName().c_str(), sysconf(_SC_NPROCESSORS_ONLN),
              dir.c_str());

  auto net = std::make_unique<Network>();
  int seed = 12345;
  drawWeights(*net, seed);
  Checkpoint cp;
  takeNetwork(cp, *net);
  cp.stdoutLines = {" random seed =            9", " -------------------quandel-------------------"};
  const std::string bytes = encodeCheckpoint(cp);
  std::printf("checkpoint: %zu bytes (the same for every data set: weights and previous changes of both networks)\n",
              bytes.size());
  const double encode = medianMs([&] { encodeCheckpoint(cp); });
  const double replace = medianMs([&] { writeCheckpoint(cp); });
  const double read = medianMs([&] { readCheckpoint(); });
  std::printf("encode %.2f ms, encode and replace the file (write, fsync, rename) %.2f ms, read and check %.2f ms\n",
              encode, replace, read);

  for (int residues : sizes) {
    DataStore store;
    store.filin.resize(static_cast<std::size_t>(residues) * kColumns);
    for (std::size_t i = 0; i < store.filin.size(); ++i) store.filin[i] = static_cast<double>(i % 977) / 977.0;
    store.winlo.assign(residues, 1);
    store.winhi.assign(residues, 21);
    store.nta = residues;
    std::printf("%d residues: data set hash %.1f ms (once per run and per resume)\n", residues,
                medianMs([&] { dataHash(store); }, 5));
  }
  removeCheckpoint();
  std::filesystem::current_path("/");
  std::filesystem::remove_all(dir);
  return 0;
}
