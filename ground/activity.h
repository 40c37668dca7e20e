// What the process is doing, for the message of a failure that cannot say it itself (running
// out of memory).
#pragma once

#include <exception>
#include <string>

namespace kelvor {

inline std::string& currentActivity() {
  static std::string what = "starting";
  return what;
}

// The innermost activity that an exception left, kept for the message at the entry point (the
// activities themselves are over by the time it is caught); empty once work goes on normally.
inline std::string& unwoundActivity() {
  static std::string what;
  return what;
}

// Names the activity for the lifetime of the scope, then restores the previous one.
class Activity {
 public:
  explicit Activity(std::string what)
      : previous_(std::move(currentActivity())), exceptions_(std::uncaught_exceptions()) {
    unwoundActivity().clear();
    currentActivity() = std::move(what);
  }
  ~Activity() {
    if (std::uncaught_exceptions() > exceptions_) {
      if (unwoundActivity().empty()) unwoundActivity() = currentActivity();
    } else {
      unwoundActivity().clear();
    }
    currentActivity() = std::move(previous_);
  }
  Activity(const Activity&) = delete;
  Activity& operator=(const Activity&) = delete;

 private:
  std::string previous_;
  int exceptions_;
};

// "out of memory while reading the data set": the activity the failure came from.
inline std::string outOfMemoryMessage() {
  return "out of memory while " + (unwoundActivity().empty() ? currentActivity() : unwoundActivity());
}

}  // namespace kelvor
