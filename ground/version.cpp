#include "ground/version.h"

#ifndef KELVOR_VERSION
#error "KELVOR_VERSION is set by the build from the project version"
#endif

namespace kelvor {

const char* kelvorVersion() { return KELVOR_VERSION; }

}  // namespace kelvor
