// The version of kelvor and its companion programs, as the build's project version gives it.
#pragma once

namespace kelvor {

// "1.0.0": the one place every program's --version and every written file take it from.
const char* kelvorVersion();

}  // namespace kelvor
