// The line kelvor writes on standard error when a run completes: how long it took, its peak
// memory and the files it wrote.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace kelvor {

// "kelvor: done in 12.3 s, peak memory 181 MiB; wrote kelvor.valdav, fort.77, fort.78, fort.79"
std::string closingLine(double seconds, long peakKiB, const std::vector<std::string>& written);

// Writes the closing line of a run started at `started` that wrote the report file `report` and,
// when a phase saved weights, that phase's weight files.
void writeClosingLine(std::chrono::steady_clock::time_point started, const std::string& report, bool firstSaved,
                      bool filterSaved);

}  // namespace kelvor
