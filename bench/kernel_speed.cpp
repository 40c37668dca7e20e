// Speed of the kernel sets, measured in one run on this machine:
//   1. microseconds per residue on a synthetic data set of realistic shape: trained first-stage
//      residue (full window), forward-only residue, trained filter residue; the reference and
//      every fast kernel set with 1 and 2 threads; the floor (a step that only moves wei1 and
//      owei1) and the cost of the 205 tanh calls of a residue, by std::tanh and by each kernel set;
//   2. one whole epoch of both stages on the example set, and the other costs of a run that grow
//      with the data: reading the data set, initphi, the final pass, scoring, weight files;
//   3. at three synthetic data-set sizes written as files (each size in a child process): reading
//      time, one epoch and the final pass of each stage, peak memory.
// Every figure is the best of several repetitions: the cores are shared, so the best run is
// the one least disturbed.
//
//   kernel_speed [--reps N] [--only 1|2|3|4] [--sizes 500000,1500000,3000000] [--examples DIR]
//                [--no-sizes] [--no-reference] [--set NAME] [--whole-pairs N] [--check-only]
//   (--set limits sections 0, 1 and 2 to one kernel set, by its name: avx512, avx2, ...)
//   4. whole two-stage runs of the program on the example set, default kernels and reference
//      alternately (N pairs, default 1; 0 skips), with a byte comparison of everything written.
// Before anything is timed, section 0 runs every kernel set with one and two threads against the
// reference and compares every bit they leave; when any differs, nothing is timed and the
// program ends with status 1 (so does a section 4 whose runs differ). --check-only stops after
// section 0; --spoil-one-bit changes the last bit of one weight that the first fast set leaves,
// to show the comparison failing.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "config/defaults.h"
#include "config/environment.h"
#include "dataset/setio.h"
#include "network/engine.h"
#include "network/epoch_run.h"
#include "network/fast/engine.h"
#include "network/fast/kernel_set.h"
#include "network/netinit.h"
#include "network/same_bits.h"
#include "network/scores.h"
#include "tools/synth/synth_set.h"
#include "weightio/weight_files.h"

#ifndef KELVOR_BINARY
#define KELVOR_BINARY "kelvor"
#endif
#ifndef KELVOR_EXAMPLES
#define KELVOR_EXAMPLES "examples"
#endif

namespace kelvor {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double seconds(const std::function<void()>& f) {
  const auto a = Clock::now();
  f();
  return std::chrono::duration<double>(Clock::now() - a).count();
}

double best(int reps, const std::function<void()>& f) {
  double b = 1e300;
  for (int r = 0; r < reps; ++r) b = std::min(b, seconds(f));
  return b;
}

// The load average of the machine, to be printed beside figures measured on shared cores.
std::string loadAverage() {
  char text[64] = "?";
  if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
    if (std::fgets(text, sizeof text, f) == nullptr) text[0] = '\0';
    std::fclose(f);
  }
  std::string s(text);
  const std::size_t third = s.find(' ', s.find(' ', s.find(' ') + 1) + 1);
  return s.substr(0, third);
}

long peakKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// A synthetic data set: proteins of 50 to 500 residues, features drawn in the encoded ranges
// (physico-chemical parameters within +-0.9, profile values and angles within +-1, relative
// surface area 0..1), classes in runs as real chains have them.
void synthesize(DataStore& s, int residues, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> length(50, 500);
  std::uniform_real_distribution<double> unit(-1.0, 1.0), par(-0.9, 0.9), area(0.0, 1.0);
  s.wincen = 11;
  s.outcen = 1;
  s.xin(22, 1) = 1.0;
  s.filin.reserve(static_cast<std::size_t>(residues) * kColumns);
  int proteins = 0;
  while (s.nta < residues) {
    const int n = std::min(length(rng), residues - s.nta);
    ++proteins;
    int cls = 1, run = 0;
    for (int k = 1; k <= n; ++k) {
      s.addResidue();
      const int r = s.nta;
      for (int f = 1; f <= 7; ++f) s.fin(r, f) = par(rng);
      for (int f = 8; f <= 27; ++f) s.fin(r, f) = unit(rng);
      s.fin(r, 28) = area(rng);
      s.fin(r, 29) = unit(rng);
      s.fin(r, 30) = unit(rng);
      if (run-- <= 0) {
        cls = static_cast<int>(rng() % 3);
        run = 2 + static_cast<int>(rng() % 12);
      }
      for (int c = 0; c < 3; ++c) s.fin(r, 33 + c) = c == cls ? 1.0 : -1.0;
      s.fin(r, 36) = cls == 0 ? -0.6 : cls == 1 ? -0.2 : 0.5;
    }
    s.setChainBounds(s.nta, n);
  }
  // Parts as a 10% test fraction and fold 1 give them: test, validation, then training by size.
  s.nprot = proteins;
  s.ntatrain = static_cast<int>(s.nta * 0.8);
  s.ntatrval = static_cast<int>(s.nta * 0.9);
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

bool gSkipReference = false;
std::string gOnlySet;  // --set: one kernel set by name, "" for every set this CPU runs

std::vector<const fast::KernelSet*> benchSets() {
  std::vector<const fast::KernelSet*> v;
  for (const fast::KernelSet* k : runnableKernelSets())
    if (gOnlySet.empty() || gOnlySet == k->name) v.push_back(k);
  return v;
}

struct Candidate {
  std::string label;
  std::function<std::unique_ptr<Engine>(Network&, DataStore&)> make;
  bool fast;
  int threads;
};

std::vector<Candidate> candidates() {
  std::vector<Candidate> v;
  v.push_back(
      {"reference", [](Network& n, DataStore& s) { return std::make_unique<ReferenceEngine>(n, s); }, false, 1});
  for (const fast::KernelSet* k : benchSets())
    for (int t : {1, 2})
      v.push_back({"fast-" + kernelSetName(*k) + " x" + std::to_string(t),
                   [k, t](Network& n, DataStore& s) { return std::make_unique<FastEngine>(n, s, *k, t); }, true, t});
  return v;
}

// One epoch of a stage as the schedule runs it.
void epoch(Engine& e, DataStore& s, bool filter) {
  initphi(s);
  runEpoch(e, filter ? Stage::kFilter : Stage::kFirst, epochOrder(s, TestPart::kTrained));
  calcerr(s, 1, s.ntatrain);
  calcerr(s, s.ntatrain + 1, s.ntatrval);
  calcerr(s, s.ntatrval + 1, s.nta);
}

// Section 0: one epoch and the final pass of each stage, by the reference and by every kernel
// set with one and two threads, on a synthetic set of proteins of 50 to 500 residues. Returns
// whether every set left every weight, previous change, activation, output and accumulator as
// the reference did; the differences are printed with their values in hexadecimal.
bool sameAsReference(bool spoilOneBit) {
  DataStore store;
  synthesize(store, 3000, 11);
  Network net;
  initialState(net, store);
  auto run = [](Engine& e, DataStore& s) {
    epoch(e, s, false);
    initphi(s);
    e.predictFirst(1, s.nta);
    epoch(e, s, true);
    initphi(s);
    e.predictFilter(1, s.nta);
    e.exportWeights();
  };
  Network refNet = net;
  DataStore refStore = store;
  {
    ReferenceEngine ref(refNet, refStore);
    run(ref, refStore);
  }
  std::printf(
      "0. Every kernel set against the reference: one epoch and the final pass of each stage on %d\n"
      "   synthetic residues, every weight, previous change, activation, output and accumulator\n\n",
      store.nta);
  bool same = true;
  for (const Candidate& c : candidates()) {
    if (!c.fast) continue;
    Network n = net;
    DataStore s = store;
    std::unique_ptr<Engine> e = c.make(n, s);
    run(*e, s);
    e.reset();
    if (spoilOneBit && same) {
      std::uint64_t bits = 0;
      std::memcpy(&bits, &n.wei1[1000], sizeof bits);
      bits ^= 1;
      std::memcpy(&n.wei1[1000], &bits, sizeof bits);
    }
    const std::string differences = kernelStateDifferences(refNet, refStore, n, s);
    std::printf("  %-18s %s\n", c.label.c_str(), differences.empty() ? "the same bits" : "DIFFERS:");
    for (std::size_t at = 0; at < differences.size();) {
      const std::size_t end = differences.find('\n', at);
      std::printf("    %s\n", differences.substr(at, end - at).c_str());
      at = end + 1;
    }
    same = same && differences.empty();
    std::fflush(stdout);
  }
  std::printf("\n");
  return same;
}

// Section 0 in a child process, so that this one starts no thread before the sizes' children
// are forked.
bool sameAsReferenceInAChild(bool spoilOneBit) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    const bool same = sameAsReference(spoilOneBit);
    std::fflush(stdout);
    _exit(same ? 0 : 1);
  }
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void perResidue(int reps) {
  DataStore store;
  synthesize(store, 20000, 7);
  Network net;
  initialState(net, store);
  // A run of residues with full windows: the inner residues of the longest protein.
  int a = 0, b = -1, start = 1;
  for (int r = 1; r <= store.nta; ++r) {
    if (store.winlo[r - 1] == 11) start = r;
    if (store.winhi[r - 1] == 11 && r - start - 20 > b - a) a = start + 10, b = r - 10;
  }
  const int count = b - a + 1;
  std::printf("1. Per residue: %d synthetic residues; residues %d..%d (%d, full windows); best of %d; load %s\n\n",
              store.nta, a, b, count, reps, loadAverage().c_str());
  std::printf("%-18s %12s %12s %12s %10s %10s %10s\n", "kernel set", "train µs", "forward µs", "filter µs", "train x",
              "forward x", "filter x");
  double refTrain = 0, refFwd = 0, refFilt = 0;
  for (const Candidate& c : candidates()) {
    if (gSkipReference && !c.fast) continue;
    Network n = net;
    DataStore s = store;
    std::unique_ptr<Engine> e = c.make(n, s);
    const int r = c.fast ? reps : std::max(2, reps / 3);
    const double train = best(r, [&] { e->trainFirst(a, b); }) / count * 1e6;
    const double fwd = best(r, [&] { e->predictFirst(a, b); }) / count * 1e6;
    e->predictFirst(1, s.nta);
    const double filt = best(r, [&] { e->trainFilter(a, b); }) / count * 1e6;
    if (!c.fast) refTrain = train, refFwd = fwd, refFilt = filt;
    std::printf("%-18s %12.2f %12.2f %12.3f %10.2f %10.2f %10.2f\n", c.label.c_str(), train, fwd, filt,
                refTrain / train, refFwd / fwd, refFilt / filt);
    std::fflush(stdout);
  }

  std::printf("\nFloor: wei1 and owei1 read and written once per step (2 x %.0f KiB each way), nothing else\n",
              2.0 * fast::kRows1 * fast::kPadded * 8 / 1024);
  for (const fast::KernelSet* k : benchSets())
    for (int t : {1, 2}) {
      Network n = net;
      DataStore s = store;
      FastEngine e(n, s, *k, t);
      const int steps = 2000;
      const double us = best(reps, [&] { e.floorSteps(steps); }) / steps * 1e6;
      std::printf("  %-16s %8.2f µs per step\n", ("fast-" + kernelSetName(*k) + " x" + std::to_string(t)).c_str(), us);
    }

  // 205 tanh calls per trained residue (101 + 101 + 3), on values of the size the sums have.
  std::vector<double> x(205 * 64);
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-3.0, 3.0);
  for (double& v : x) v = u(rng);
  volatile double sink = 0.0;
  const double tanhTime = best(reps, [&] {
    double acc = 0.0;
    for (double v : x) acc += std::tanh(0.5 * v);
    sink = acc;
  });
  (void)sink;
  std::printf("  %-16s %8.2f µs per residue (205 calls)\n", "std::tanh", tanhTime / 64 * 1e6);
  // The same values through each kernel set's tanh (the same bits, a vector at a time where it can):
  // the layers call it on 52 or 101 neurons at once.
  std::vector<double> y(x.size());
  for (const fast::KernelSet* k : benchSets()) {
    const double t = best(reps, [&] {
      for (std::size_t at = 0; at < x.size(); at += 205) {
        k->tanhEach(0.5, x.data() + at, y.data() + at, 101);
        k->tanhEach(0.5, x.data() + at + 101, y.data() + at + 101, 101);
        k->tanhEach(0.5, x.data() + at + 202, y.data() + at + 202, 3);
      }
    });
    std::printf("  %-16s %8.2f µs per residue (%s)\n", ("tanh fast-" + kernelSetName(*k)).c_str(), t / 64 * 1e6,
                k->tanhInVectors() ? "vectors" : "std::tanh");
  }
  std::printf("\n");
}

// The example set: one epoch of each stage per kernel set, and what else a run spends per epoch.
void exampleSet(const std::string& root, int reps) {
  DataStore store;
  Network net;
  const fs::path here = fs::current_path();
  RunConfig cfg;
  double readTime = 0;
  {
    fs::current_path(root);
    cfg = getdefs(store, net, "kelvor.in", 7);
    readTime = seconds([&] { setio(store, root + "/"); });
    fs::current_path(here);
  }
  Network init = net;
  initialState(init, store);
  std::printf("2. Example set (%s): %d chains, %d residues (training %d, validation %d, test %d)\n\n", root.c_str(),
              store.nprot, store.nta, store.ntatrain, store.ntatrval - store.ntatrain, store.nta - store.ntatrval);
  std::printf("%-18s %14s %14s %14s\n", "kernel set", "first stage s", "filter s", "final pass s");
  for (const Candidate& c : candidates()) {
    Network n = init;
    DataStore s = store;
    std::unique_ptr<Engine> e = c.make(n, s);
    const int r = c.fast ? std::max(1, reps / 2) : 1;
    const double first = best(r, [&] { epoch(*e, s, false); });
    const double final = best(r, [&] {
      initphi(s);
      e->predictFirst(1, s.nta);
      calcerr(s, s.ntatrval + 1, s.nta);
    });
    const double filter = best(r, [&] { epoch(*e, s, true); });
    std::printf("%-18s %14.3f %14.3f %14.3f\n", c.label.c_str(), first, filter, final);
    std::fflush(stdout);
  }

  const fs::path tmp = fs::temp_directory_path() / ("kelvor-bench-" + std::to_string(::getpid()));
  fs::create_directories(tmp);
  fs::current_path(tmp);
  const double outw = best(reps, [&] { outwei(init, 0); });
  const double outwf = best(reps, [&] { outweif(init, 0); });
  Network back = init;
  const double readw = best(std::max(1, reps / 2), [&] { readwei(back, 0); });
  fs::current_path(here);
  fs::remove_all(tmp);
  DataStore s = store;
  const double phi = best(reps, [&] { initphi(s); });
  const double err = best(reps, [&] {
    calcerr(s, 1, s.ntatrain);
    calcerr(s, s.ntatrain + 1, s.ntatrval);
    calcerr(s, s.ntatrval + 1, s.nta);
  });
  std::printf(
      "\nOther costs: reading the data set (setio, once per run) %.3f s; initphi %.1f µs; calcerr x3 %.1f µs;\n"
      "weight files: outwei (fort.77-79, on every improving epoch) %.3f s, outweif %.4f s, readwei %.3f s\n\n",
      readTime, phi * 1e6, err * 1e6, outw, outwf, readw);
}

// A synthetic set written as files (kelvor-synth's generator), read by setio, then one epoch of
// each stage and each stage's final pass; in a child process so that its peak memory is its own.
void sizeChild(const std::string& root, double written) {
  DataStore store;
  Network net;
  fs::current_path(root);
  getdefs(store, net, "kelvor.in", 7);
  const double read = seconds([&] { setio(store, root + "/"); });
  initialState(net, store);
  std::unique_ptr<Engine> e = makeEngine(net, store, engineFromEnvironment());
  const double first = seconds([&] { epoch(*e, store, false); });
  const double firstFinal = seconds([&] {
    initphi(store);
    e->predictFirst(1, store.nta);
    calcerr(store, store.ntatrval + 1, store.nta);
  });
  const double filter = seconds([&] { epoch(*e, store, true); });
  const double filterFinal = seconds([&] {
    initphi(store);
    e->predictFilter(1, store.nta);
    calcerr(store, store.ntatrval + 1, store.nta);
  });
  const long kib = peakKiB();
  const double trained = store.ntatrain + (store.nta - store.ntatrval);
  std::printf("%10d %8.2f %7.3f %10.2f %9.3f %10.3f %9.3f %9.1f %9.1f %8.0f   (%s; files written in %.1f s; load %s)\n",
              store.nta, read, read / store.nta * 1e6, first, firstFinal, filter, filterFinal, first / trained * 1e6,
              kib / 1024.0, kib * 1024.0 / store.nta, e->name().c_str(), written, loadAverage().c_str());
  std::fflush(stdout);
}

void sizes(const std::vector<int>& list) {
  std::printf(
      "3. By size: synthetic sets of realistic shape (kelvor-synth, chains of ~180 residues) read from\n"
      "   files; one epoch and the final pass of each stage; peak memory of the process (one child each;\n"
      "   kernel set and threads of makeEngine)\n\n");
  std::printf("%10s %8s %7s %10s %9s %10s %9s %9s %9s %8s\n", "residues", "read s", "µs/res", "1st epoch", "1st final",
              "filt epoch", "filt final", "µs/trained", "peak MiB", "B/res");
  std::fflush(stdout);
  const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  for (int n : list) {
    const fs::path dir = base / ("kelvor-bench-set-" + std::to_string(::getpid()));
    synth::SetOptions o;
    o.dir = dir.string();
    o.residues = n;
    o.seed = 14;
    o.epochs = 1;
    const double written = seconds([&] { synth::writeSet(o); });
    const pid_t pid = fork();
    if (pid == 0) {
      sizeChild(dir.string(), written);
      std::fflush(stdout);
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    fs::remove_all(dir);
  }
  std::printf("\n");
}

// Whole two-stage runs of the program on the example set (its kelvor.in), the default kernels
// and KELVOR_KERNEL=reference alternately, and whether they wrote the same bytes.
bool wholeRuns(const std::string& examples, int pairs) {
  std::printf("4. Whole two-stage runs of kelvor on %s, default kernels and reference alternately\n\n",
              examples.c_str());
  const fs::path base = fs::temp_directory_path() / ("kelvor-bench-whole-" + std::to_string(::getpid()));
  const std::vector<std::string> files = {"out",     "kelvor.valdav", "fort.77", "fort.78",
                                          "fort.79", "fort.87",       "fort.88"};
  auto slurp = [](const fs::path& p) {
    std::string text;
    if (std::FILE* f = std::fopen(p.c_str(), "rb")) {
      char buffer[65536];
      for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
      std::fclose(f);
    }
    return text;
  };
  double bestDefault = 1e300, bestReference = 1e300;
  std::vector<std::string> first;
  bool same = true;
  for (int p = 0; p < pairs; ++p)
    for (const char* kernel : {"best", "reference"}) {
      const fs::path dir = base / (std::string(kernel) + std::to_string(p));
      fs::create_directories(dir);
      for (const char* sub : {"dssp_data", "new_prf", "kvqout"})
        fs::copy(fs::path(examples) / sub, dir / sub, fs::copy_options::recursive);
      for (const char* f : {"kelvor.in", "proteins.list"}) fs::copy_file(fs::path(examples) / f, dir / f);
      const std::string command = "cd '" + dir.string() + "' && KELVOR_TIME=01:02:03 KELVOR_KERNEL=" + kernel + " '" +
                                  KELVOR_BINARY + "' > out 2> err";
      int status = 0;
      const double took = seconds([&] { status = std::system(command.c_str()); });
      std::vector<std::string> got;
      for (const auto& f : files) got.push_back(slurp(dir / f));
      if (first.empty()) first = got;
      same = same && got == first && status == 0;
      double& bestOf = std::string(kernel) == "best" ? bestDefault : bestReference;
      bestOf = std::min(bestOf, took);
      std::printf("  %-10s %9.1f s  status %d  (load %s)\n", kernel, took, status, loadAverage().c_str());
      std::fflush(stdout);
      fs::remove_all(dir);
    }
  fs::remove_all(base);
  std::printf(
      "  best: default %.1f s, reference %.1f s, ratio %.2f; standard output, report and five weight\n"
      "  files %s\n\n",
      bestDefault, bestReference, bestReference / bestDefault, same ? "byte-identical in every run" : "DIFFER");
  return same;
}

}  // namespace
}  // namespace kelvor

int main(int argc, char** argv) {
  int reps = 5;
  std::string examples = KELVOR_EXAMPLES;
  std::vector<int> sizeList = {500000, 1500000, 3000000};
  bool doSizes = true;
  int wholePairs = 1;
  int only = 0;
  bool checkOnly = false, spoilOneBit = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--reps" && i + 1 < argc) {
      reps = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--examples" && i + 1 < argc) {
      examples = argv[++i];
    } else if (a == "--sizes" && i + 1 < argc) {
      sizeList.clear();
      for (char* t = std::strtok(argv[++i], ","); t; t = std::strtok(nullptr, ",")) sizeList.push_back(std::atoi(t));
    } else if (a == "--no-sizes") {
      doSizes = false;
    } else if (a == "--only" && i + 1 < argc) {
      only = std::atoi(argv[++i]);
    } else if (a == "--whole-pairs" && i + 1 < argc) {
      wholePairs = std::max(0, std::atoi(argv[++i]));
    } else if (a == "--set" && i + 1 < argc) {
      kelvor::gOnlySet = argv[++i];
    } else if (a == "--no-reference") {
      kelvor::gSkipReference = true;
    } else if (a == "--check-only") {
      checkOnly = true;
    } else if (a == "--spoil-one-bit") {
      spoilOneBit = true;
    } else {
      std::fprintf(stderr,
                   "usage: %s [--reps N] [--only 1|2|3|4] [--sizes a,b,c] [--examples DIR] [--no-sizes] "
                   "[--no-reference] [--set NAME] [--whole-pairs N] [--check-only] [--spoil-one-bit]\n",
                   argv[0]);
      return 1;
    }
  }
  if (kelvor::benchSets().empty()) {
    std::fprintf(stderr, "%s: no kernel set named \"%s\" runs on this CPU\n", argv[0], kelvor::gOnlySet.c_str());
    return 1;
  }
  std::printf("kernel sets this CPU runs:");
  for (const kelvor::fast::KernelSet* k : kelvor::runnableKernelSets()) std::printf(" %s", k->name);
  std::printf("; default threads %d\n\n", kelvor::defaultThreads());
  if (!kelvor::sameAsReferenceInAChild(spoilOneBit)) {
    std::fprintf(stderr, "%s: a kernel set leaves other bits than the reference (above); nothing is timed\n", argv[0]);
    return 1;
  }
  if (checkOnly) return 0;
  // The sizes run first: the children must be forked before this process starts any thread.
  if (doSizes && (only == 0 || only == 3)) kelvor::sizes(sizeList);
  if (only == 0 || only == 1) kelvor::perResidue(reps);
  if (only == 0 || only == 2) kelvor::exampleSet(std::filesystem::absolute(examples).string(), reps);
  if ((only == 0 || only == 4) && wholePairs > 0 &&
      !kelvor::wholeRuns(std::filesystem::absolute(examples).string(), wholePairs)) {
    std::fprintf(stderr, "%s: the runs with the default kernels and the reference wrote different bytes\n", argv[0]);
    return 1;
  }
  return 0;
}
