#include "ground/command_line.h"

#include "ground/errors.h"

namespace kelvor {

bool CommandLine::next() {
  if (index_ + 1 >= argc_) return false;
  arg_ = argv_[++index_];
  value_.clear();
  hasValue_ = false;
  if (arg_.rfind("--", 0) == 0) {
    const std::size_t eq = arg_.find('=');
    if (eq != std::string::npos) {
      value_ = arg_.substr(eq + 1);
      arg_.resize(eq);
      hasValue_ = true;
    }
  }
  return true;
}

std::string CommandLine::value() {
  if (hasValue_) return value_;
  if (index_ + 1 >= argc_) throw UsageError("option " + arg_ + " needs a value");
  return argv_[++index_];
}

bool CommandLine::flag() const {
  if (hasValue_) throw UsageError("option " + arg_ + " takes no value");
  return true;
}

std::vector<std::string> CommandLine::rest() {
  std::vector<std::string> args;
  while (index_ + 1 < argc_) args.push_back(argv_[++index_]);
  return args;
}

}  // namespace kelvor
