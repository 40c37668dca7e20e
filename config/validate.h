// The configuration checks, all in one place, each refusal one ConfigError message that names
// the setting, its value and the allowed range.
#pragma once

#include <string>
#include <vector>

#include "config/defaults.h"

namespace kelvor {

// Settings checked before the part sizes are formed: test fraction 0..1, requested protein count
// not negative, and the seed offset, whose seed formula must stay defined at this time of day.
void checkSettings(const Settings& s, const std::string& file, int seedOffset);

// The fold number: its test block must lie wholly inside or wholly outside the n list lines.
void checkFold(int fold, double fraction, int n, int t, const std::string& file);

// Warnings on standard error for settings that are valid but almost surely not meant: a learning
// rate of 0 in training mode, a fold whose test block of t proteins lies wholly outside the n.
void warnUnlikelySettings(const Settings& s, int n, int t, const std::string& file);

// The protein list: present, naming at least one protein, without a blank line (which would
// name a protein without a name). Refusals name the list and the line.
void checkProteinList(const std::vector<std::string>& lines, const std::string& path, bool missing);

// No file the run writes is, through links, one that it reads: a FileError names both.
// Outputs that do not exist yet are new files and always fine.
void checkOutputsAreNotInputs(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs);

// The whole run, before anything is locked or written: the environment (config/environment.h), and the files written in
// place (`outputs`: by default the report file and the lock) against the defaults file, the
// protein list and every per-protein file. (The command line, the settings and the fold are
// checked as getdefs reads them.)
void checkRun(const RunConfig& cfg, const DataStore& store, const std::string& defaultsName,
              const std::string& dataRoot, const std::vector<std::string>& outputs = {});

}  // namespace kelvor
