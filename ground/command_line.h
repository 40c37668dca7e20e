// Reads a command line one argument at a time: "-x VALUE", "--name VALUE", "--name=VALUE".
#pragma once

#include <string>
#include <vector>

namespace kelvor {

class CommandLine {
 public:
  // Reads argv[1..argc-1].
  CommandLine(int argc, const char* const* argv) : argc_(argc), argv_(argv) {}

  // Steps to the next argument; false after the last. An argument "--name=value" is split at its
  // first '=': arg() is "--name" and the value waits for value().
  bool next();
  // The current argument (without its "=value").
  const std::string& arg() const { return arg_; }
  // The current argument as given.
  const char* given() const { return argv_[index_]; }
  bool is(const char* name) const { return arg_ == name; }
  bool is(const char* shortName, const char* longName) const { return arg_ == shortName || arg_ == longName; }

  // True when a value follows: one after '=', or another argument.
  bool valueFollows() const { return hasValue_ || index_ + 1 < argc_; }
  // The option's value: the part after '=', or else the next argument, which is used up. Throws
  // UsageError "option NAME needs a value" when there is none.
  std::string value();
  // For an option without a value: throws UsageError "option NAME takes no value" when it came
  // as "NAME=value"; returns true.
  bool flag() const;
  // The arguments after the current one, all used up (what follows "--").
  std::vector<std::string> rest();

 private:
  int argc_;
  const char* const* argv_;
  int index_ = 0;
  std::string arg_;
  std::string value_;
  bool hasValue_ = false;
};

}  // namespace kelvor
