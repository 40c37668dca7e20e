// What the process is doing, for the message of a failure that cannot say it itself (running
// out of memory).
#pragma once

#include <string>

namespace kelvor {

inline std::string& currentActivity() {
  static std::string what = "starting";
  return what;
}

// Names the activity for the lifetime of the scope, then restores the previous one.
class Activity {
 public:
  explicit Activity(std::string what) : previous_(std::move(currentActivity())) { currentActivity() = std::move(what); }
  ~Activity() { currentActivity() = std::move(previous_); }
  Activity(const Activity&) = delete;
  Activity& operator=(const Activity&) = delete;

 private:
  std::string previous_;
};

// "out of memory while reading the data set"
inline std::string outOfMemoryMessage() { return "out of memory while " + currentActivity(); }

}  // namespace kelvor
