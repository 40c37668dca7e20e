// Standard input, output and error at process start.
#pragma once

namespace kelvor {

// Opens each of descriptors 0, 1 and 2 that is closed on /dev/null, so that no file the process
// opens later takes their number and receives lines meant for standard output or error. Call it
// first thing in main. False when /dev/null cannot be opened (the process should then stop).
bool openStandardDescriptors();

}  // namespace kelvor
