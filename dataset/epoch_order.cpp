#include "dataset/epoch_order.h"

namespace kelvor {

std::vector<EpochRange> epochOrder(const DataStore& store, TestPart test) {
  std::vector<EpochRange> ranges{{1, store.ntatrain, true}};
  if (test == TestPart::kForwardOnly) {
    ranges.push_back({store.ntatrain + 1, store.nta, false});
  } else {
    ranges.push_back({store.ntatrain + 1, store.ntatrval, false});
    ranges.push_back({store.ntatrval + 1, store.nta, true});
  }
  return ranges;
}

}  // namespace kelvor
