// A time of day, as the seed formula takes it.
#pragma once

#include <array>

namespace kelvor {

using TimeOfDay = std::array<int, 3>;  // hour 0-23, minute 0-59, second 0-59

}  // namespace kelvor
