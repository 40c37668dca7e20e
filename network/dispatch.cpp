// The one place that picks a kernel set.
#include <cstdlib>
#include <cstring>

#include "network/engine.h"
#include "run/errors.h"

namespace kelvor {

std::unique_ptr<Engine> makeEngine(Network& net, DataStore& store, KernelChoice choice, int threads) {
  if (const char* env = std::getenv("KELVOR_KERNEL")) {
    if (std::strcmp(env, "reference") == 0) choice = KernelChoice::kReference;
    else if (std::strcmp(env, "fast") == 0) choice = KernelChoice::kFast;
    else if (std::strcmp(env, "best") != 0)
      throw ConfigError(std::string("KELVOR_KERNEL is \"") + env + "\"; allowed: reference, fast, best");
  }
  (void)threads;
  (void)choice;
  return std::make_unique<ReferenceEngine>(net, store);
}

}  // namespace kelvor
