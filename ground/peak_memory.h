// How much memory the process has used at most.
#pragma once

namespace kelvor {

// The process's peak resident memory in KiB (0 when the system does not tell).
long peakMemoryKiB();

}  // namespace kelvor
