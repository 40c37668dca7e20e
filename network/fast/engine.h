// The fast kernel set: both networks with SIMD lanes across neurons, the first stage split
// between persistent threads. Bit-identical to the reference kernels for any thread count.
//
// The engine keeps its own copies of the weights and previous changes, in layouts of its own
// (network/fast/kernel_set.h), taken from the Network when it is made. importWeights() takes the
// weights again (wei1, wei2, pwei columns 1..3, fwei1, fwei2: what the weight-file readers
// replace); the previous changes stay the engine's, as they stay in the Network when a weight
// file is read. exportWeights() writes weights and previous changes back into the Network.
// With more than one thread, when thread 0 finds that it waits at the barriers longer than it
// works, two windows in a row (another process holds a core), the range goes on with one thread
// in a one-thread layout of its own, and so do the ranges of the next 50 000 residues; then the
// threads are tried again (and when they are found slow again at once, the next spell is twice
// as long, up to 400 000 residues). No bit changes.
// After every range, outs, sscode/nsscode, hid1, hid2, fhid, fout, finp, xin and targ hold
// what the reference kernels would have left there.
#pragma once

#include <memory>
#include <vector>

#include "network/engine.h"

namespace kelvor {

namespace fast {
struct KernelSet;
}

class FastEngine : public Engine {
 public:
  FastEngine(Network& net, DataStore& store, const fast::KernelSet& kernels, int threads);
  ~FastEngine() override;
  FastEngine(const FastEngine&) = delete;
  FastEngine& operator=(const FastEngine&) = delete;

  std::string name() const override;
  void trainFirst(int first, int last) override;
  void predictFirst(int first, int last) override;
  void trainFilter(int first, int last) override;
  void predictFilter(int first, int last) override;
  void exportWeights() override;
  void importWeights() override;

  int threads() const;
  const fast::KernelSet& kernels() const;
  // Streams wei1 and owei1 once per step as a training step must, nothing else (benchmarks).
  void floorSteps(int steps);
  // The next first-stage range goes on with one thread after `residue` (if it lies inside), as
  // after slow barriers; one thread then runs the next `residues` residues (tests). Slow
  // barriers switch the same way by themselves.
  void goSoloAt(int residue, long residues);

  struct State;  // layouts, threads (network/fast/engine.cpp)

 private:
  std::unique_ptr<State> s_;
};

// The fast kernel sets this build has and this CPU runs, best first (network/dispatch.cpp); the
// last may be a test-only layout.
std::vector<const fast::KernelSet*> runnableKernelSets();
// The name of a kernel set, e.g. "avx2".
std::string kernelSetName(const fast::KernelSet& kernels);
// Threads used when none are asked for: the cores this process may run on, at most 4.
int defaultThreads();

}  // namespace kelvor
