// The record of a run's standard output: a training run keeps every line it writes so that a
// resumed run can write them again from the first.
#pragma once

#include <string>
#include <vector>

namespace kelvor {

// Every line given to writeStdout is also appended to `lines` while it is set (nullptr: none);
// with `hold`, the lines go there only and standard output stays untouched.
void tapStdout(std::vector<std::string>* lines, bool hold = false);

}  // namespace kelvor
