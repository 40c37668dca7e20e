// Whether a run can write every one of its outputs, known before its report is opened: a run that
// would fail at its first save is refused while the previous report and weights are as they were.
#pragma once

#include "run/run_files.h"

namespace kelvor {

// The report file can be opened for writing and, when `training`, every weight file of both
// phases can be replaced (its directory writable, nothing but a regular file in its place or in
// its temporary's). Throws FileError naming the first output that cannot be written.
void checkOutputsWritable(const RunFiles& files, bool training);

}  // namespace kelvor
