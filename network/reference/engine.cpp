#include "network/engine.h"
#include "network/reference/kernels.h"

namespace kelvor {

void ReferenceEngine::trainFirst(int first, int last) {
  for (int k = first; k <= last; ++k) {
    readwin(store_, k);
    calcnet(net_, store_, k);
    backprop(net_, store_, k);
  }
}

void ReferenceEngine::predictFirst(int first, int last) {
  for (int k = first; k <= last; ++k) {
    readwin(store_, k);
    calcnet(net_, store_, k);
  }
}

void ReferenceEngine::trainFilter(int first, int last) {
  for (int k = first; k <= last; ++k) {
    readwinf(net_, store_, k);
    calcnetf(net_, store_, k);
    backpropf(net_, store_, k);
  }
}

void ReferenceEngine::predictFilter(int first, int last) {
  for (int k = first; k <= last; ++k) {
    readwinf(net_, store_, k);
    calcnetf(net_, store_, k);
  }
}

}  // namespace kelvor
