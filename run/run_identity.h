// What identifies a run's input and report, so that a resume can tell whether the working
// directory still holds the run that its checkpoint was taken from.
#pragma once

#include <cstdint>
#include <string>

#include "config/defaults.h"
#include "dataset/store.h"

namespace kelvor {

// The selected proteins in their order, and the protein list's length.
std::uint64_t proteinsHash(const DataStore& store, int listLines);

// The encoded data set: the part boundaries, every residue's columns and window bounds.
std::uint64_t dataHash(const DataStore& store);

// The report file's length and the hash of its first `length` bytes (all of it when length is
// negative). A file shorter than `length` gives length -1.
struct ReportPrefix {
  long long length = 0;
  std::uint64_t hash = 0;
};
ReportPrefix reportPrefix(const std::string& path, long long length = -1);

// The first setting that differs, described for a refusal ("" when all agree).
std::string settingsChange(const Settings& was, const Settings& now);

}  // namespace kelvor
