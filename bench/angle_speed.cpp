// Speed of the angle network beside kelvor's first stage, on the example set, measured in one
// run on this machine: microseconds per trained residue (training steps over every residue of
// the set, the same weights at the start of each repetition), for the reference and every fast
// kernel set with 1 and 2 threads; then one whole epoch as each program runs it (kelvor's first
// stage trains the training and test parts; the angle network only the training part).
// Every figure is the best of several repetitions (the four measurements of a kernel set taking
// turns), with the load average beside it.
//   angle_speed [--reps N] [--examples DIR] [--no-reference]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

#include "config/defaults.h"
#include "dataset/setio.h"
#include "network/engine.h"
#include "network/epoch_run.h"
#include "network/fast/engine.h"
#include "network/netinit.h"
#include "network/scores.h"
#include "tools/angles/angle_data.h"

#ifndef KELVOR_EXAMPLES
#define KELVOR_EXAMPLES "examples"
#endif

namespace kelvor {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The time of f after prepare().
double timed(const std::function<void()>& prepare, const std::function<void()>& f) {
  prepare();
  const auto a = Clock::now();
  f();
  return std::chrono::duration<double>(Clock::now() - a).count();
}

std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a;
  in >> a;
  return a.empty() ? "?" : a;
}

std::string cpuName() {
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown CPU";
}

void initialState(Network& net, DataStore& store) {
  net.gain = 0.5;
  net.rate = 0.001;
  net.momentum = 0.5;
  net.dcay = 1.0;
  net.hid1[102] = net.hid2[102] = net.fhid[22] = 1.0;
  store.xin(22, 1) = 1.0;
  int seed = 123457;
  drawWeights(net, seed);
  attenuation(net);
  net.sizeOutputs(store.nta);
}

struct Candidate {
  std::string label;
  std::function<std::unique_ptr<Engine>(Network&, DataStore&)> make;
};

std::vector<Candidate> candidates(bool reference) {
  std::vector<Candidate> v;
  if (reference)
    v.push_back({"reference", [](Network& n, DataStore& s) { return std::make_unique<ReferenceEngine>(n, s); }});
  for (const fast::KernelSet* k : runnableKernelSets())
    for (int t : {1, 2})
      v.push_back({"fast-" + kernelSetName(*k) + " x" + std::to_string(t),
                   [k, t](Network& n, DataStore& s) { return std::make_unique<FastEngine>(n, s, *k, t); }});
  return v;
}

}  // namespace
}  // namespace kelvor

int main(int argc, char** argv) {
  using namespace kelvor;
  int reps = 3;
  std::string root = KELVOR_EXAMPLES;
  bool reference = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-reference") == 0)
      reference = false;
    else if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc)
      reps = std::max(1, std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--examples") == 0 && i + 1 < argc)
      root = argv[++i];
  }
  root = fs::absolute(root).string();
  DataStore kelvorSet;
  Network net;
  const fs::path here = fs::current_path();
  fs::current_path(root);
  getdefs(kelvorSet, net, "kelvor.in", 7);
  setio(kelvorSet, root + "/");
  fs::current_path(here);
  DataStore angleSet = kelvorSet;
  angles::makeAngleTargets(angleSet);
  Network start;
  initialState(start, kelvorSet);
  initialState(start, angleSet);

  std::printf(
      "Angle network beside kelvor's first stage: %s, %d chains, %d residues (training %d, validation %d, "
      "test %d)\nCPU: %s; best of %d\n\n",
      root.c_str(), kelvorSet.nprot, kelvorSet.nta, kelvorSet.ntatrain, kelvorSet.ntatrval - kelvorSet.ntatrain,
      kelvorSet.nta - kelvorSet.ntatrval, cpuName().c_str(), reps);
  std::printf("%-18s %16s %16s %14s %14s   %s\n", "kernel set", "kelvor µs/res", "angles µs/res", "kelvor epoch s",
              "angles epoch s", "load");
  for (const Candidate& c : candidates(reference)) {
    Network n;
    std::unique_ptr<Engine> e;
    auto fresh = [&](DataStore& s) {
      return [&] {
        n = start;
        e = c.make(n, s);
        initphi(s);
      };
    };
    // The four measurements take turns, so that the load of the shared cores falls on each alike.
    double kTrain = 1e300, aTrain = 1e300, kEpoch = 1e300, aEpoch = 1e300;
    for (int r = 0; r < reps; ++r) {
      kTrain = std::min(kTrain, timed(fresh(kelvorSet), [&] { e->trainFirst(1, kelvorSet.nta); }));
      aTrain = std::min(aTrain, timed(fresh(angleSet), [&] { e->trainFirst(1, angleSet.nta); }));
      kEpoch = std::min(kEpoch, timed(fresh(kelvorSet),
                                      [&] { runEpoch(*e, Stage::kFirst, epochOrder(kelvorSet, TestPart::kTrained)); }));
      aEpoch = std::min(aEpoch, timed(fresh(angleSet), [&] {
                          runEpoch(*e, Stage::kFirst, epochOrder(angleSet, TestPart::kForwardOnly));
                        }));
    }
    std::printf("%-18s %16.2f %16.2f %14.3f %14.3f   %s\n", c.label.c_str(), kTrain / kelvorSet.nta * 1e6,
                aTrain / angleSet.nta * 1e6, kEpoch, aEpoch, loadAverage().c_str());
    std::fflush(stdout);
  }
  return 0;
}
