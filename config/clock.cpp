#include "config/clock.h"

#include <ctime>
#include <optional>

#include "config/environment.h"

namespace kelvor {
namespace {
std::optional<TimeOfDay> cached;
}

void itime(TimeOfDay& t) {
  if (!cached) {
    if (std::optional<TimeOfDay> fixed = timeFromEnvironment()) {
      cached = *fixed;
    } else {
      std::time_t clock = std::time(nullptr);
      std::tm local{};
      localtime_r(&clock, &local);
      cached = TimeOfDay{local.tm_hour, local.tm_min, local.tm_sec};
    }
  }
  t = *cached;
}

void setTimeOfDay(const TimeOfDay& t) { cached = t; }
void resetTimeOfDay() { cached.reset(); }

}  // namespace kelvor
