#include "network/clock.h"

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "ground/errors.h"

namespace kelvor {
namespace {
std::optional<TimeOfDay> cached;
}

bool parseTimeOfDay(const char* text, TimeOfDay& t) {
  int v[3] = {0, 0, 0};
  const char* p = text;
  for (int i = 0; i < 3; ++i) {
    if (*p < '0' || *p > '9') return false;
    int n = 0, digits = 0;
    while (*p >= '0' && *p <= '9' && digits < 3) n = n * 10 + (*p++ - '0'), ++digits;
    if (digits > 2) return false;
    v[i] = n;
    if (i < 2) {
      if (*p != ':') return false;
      ++p;
    }
  }
  if (*p != '\0' || v[0] > 23 || v[1] > 59 || v[2] > 59) return false;
  t = {v[0], v[1], v[2]};
  return true;
}

void itime(TimeOfDay& t) {
  if (!cached) {
    TimeOfDay now{};
    if (const char* env = std::getenv("KELVOR_TIME")) {
      if (!parseTimeOfDay(env, now))
        throw ConfigError("KELVOR_TIME=\"" + std::string(env) +
                          "\" is not a time of day; allowed: hh:mm:ss with hh 0-23, mm and ss 0-59");
    } else {
      std::time_t clock = std::time(nullptr);
      std::tm local{};
      localtime_r(&clock, &local);
      now = {local.tm_hour, local.tm_min, local.tm_sec};
    }
    cached = now;
  }
  t = *cached;
}

void setTimeOfDay(const TimeOfDay& t) { cached = t; }
void resetTimeOfDay() { cached.reset(); }

}  // namespace kelvor
