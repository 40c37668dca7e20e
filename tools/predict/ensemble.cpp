#include "tools/predict/ensemble.h"

#include "config/environment.h"
#include "network/engine.h"
#include "network/reference/kernels.h"
#include "network/scores.h"

namespace kelvor::predict {

Outputs predictAll(std::vector<WeightSet>& sets, DataStore& store) {
  const std::size_t values = outputValues(store.nta);
  Outputs sum{std::vector<double>(values, 0.0), std::vector<double>(values, 0.0)};
  for (WeightSet& set : sets) {
    Network& net = set.net;
    net.sizeOutputs(store.nta);

    // First stage, as the final pass runs it: all residues through the kernel set.
    std::unique_ptr<Engine> engine = makeEngine(net, store, engineFromEnvironment());
    engine->importWeights();
    initphi(store);
    engine->predictFirst(1, store.nta);
    for (std::size_t i = 0; i < values; ++i) sum.first[i] += net.outs[i];

    // Filter, residue by residue, so that every residue's outputs can be kept.
    initphi(store);
    for (int k = 1; k <= store.nta; ++k) {
      readwinf(net, store, k);
      calcnetf(net, store, k);
      for (int c = 0; c < 3; ++c) sum.filter[static_cast<std::size_t>(k - 1) * 3 + c] += net.fout[c + 1];
    }
  }
  const double count = static_cast<double>(sets.size());
  for (std::size_t i = 0; i < values; ++i) {
    sum.first[i] /= count;
    sum.filter[i] /= count;
  }
  return sum;
}

int decide(const double* o) {
  const double code = classCode(o[0], o[1], o[2]);
  if (code == 0.5) return 2;
  if (code == -0.2) return 1;
  return 0;
}

}  // namespace kelvor::predict
