// Failures of kelvor-predict that have no type in the shared error set.
#pragma once

#include <stdexcept>
#include <string>

namespace kelvor::predict {

// Inconsistent input data (residue letters that disagree, an unknown structure letter); the
// message names the file and line.
class InputError : public std::runtime_error {
 public:
  explicit InputError(const std::string& what) : std::runtime_error(what) {}
};

// A bad command line; the message says what was wrong.
class UsageError : public std::runtime_error {
 public:
  explicit UsageError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace kelvor::predict
