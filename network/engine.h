// A kernel set: runs the forward passes and training steps of both networks over residue
// ranges, in increasing residue order, one residue after another (each training step changes
// the weights that the next residue's forward pass uses).
//
// The network areas (Network) are the reference state. A kernel set may keep its own copies
// of the weights in other layouts; it then writes them back in exportWeights() (before weights
// are saved or inspected) and takes them in again in importWeights() (after weights are loaded).
#pragma once

#include <memory>
#include <string>

#include "dataset/store.h"
#include "network/state.h"

namespace kelvor {

// The two networks: the first stage and the filter on its outputs.
enum class Stage { kFirst, kFilter };

class Engine {
 public:
  Engine(Network& net, DataStore& store) : net_(net), store_(store) {}
  virtual ~Engine() = default;
  virtual std::string name() const = 0;

  // First stage: readwin, calcnet (and backprop) for k = first..last.
  virtual void trainFirst(int first, int last) = 0;
  virtual void predictFirst(int first, int last) = 0;
  // Filter: readwinf, calcnetf (and backpropf) for k = first..last.
  virtual void trainFilter(int first, int last) = 0;
  virtual void predictFilter(int first, int last) = 0;

  virtual void exportWeights() {}
  virtual void importWeights() {}

 protected:
  Network& net_;
  DataStore& store_;
};

// The plain kernels of network/reference/kernels.h.
class ReferenceEngine : public Engine {
 public:
  using Engine::Engine;
  std::string name() const override { return "reference"; }
  void trainFirst(int first, int last) override;
  void predictFirst(int first, int last) override;
  void trainFilter(int first, int last) override;
  void predictFilter(int first, int last) override;
};

namespace fast {
struct KernelSet;
}

// Which kernel set to use: the best this CPU runs, or one forced (tests, benchmarks, the
// environment of a run: config/environment.h).
enum class KernelChoice { kBest, kReference, kFast };

struct EngineChoice {
  KernelChoice kernels = KernelChoice::kBest;
  const fast::KernelSet* forced = nullptr;  // with kFast: this set (one of runnableKernelSets)
  int threads = 0;                          // threads of a fast set; 0: the cores available
};

// Makes the kernel set that `choice` asks for.
std::unique_ptr<Engine> makeEngine(Network& net, DataStore& store, const EngineChoice& choice = {});

}  // namespace kelvor
