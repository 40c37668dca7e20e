// What `kelvor --help` and `kelvor --version` print.
#pragma once

#include <string>

namespace kelvor {

// The options kelvor answers before it reads anything; every other argument is the seed offset.
enum class InfoRequest { kNone, kHelp, kVersion };
InfoRequest infoRequest(int argc, char** argv);

std::string usageText();
std::string versionText();

}  // namespace kelvor
