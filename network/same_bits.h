// Bit-for-bit comparison of everything the kernels write or their results reach, for the checks
// that a fast kernel set leaves a network and a data set exactly as the reference does. A
// difference is described with both values in hexadecimal floating point (%a), which shows
// every bit, so that a failure tells a last-bit rounding from a wrong sum.
#pragma once

#include <cstddef>
#include <string>

#include "dataset/store.h"
#include "network/state.h"

namespace kelvor {

// The value in hexadecimal floating point, as printf's %a writes it ("0x1.8p-1").
std::string hexReal(double v);

// "" when the n values are the same bits; else a line naming the first that differs:
// "what[i] differs: expected <%a> vs <%a>".
std::string firstBitDifference(const char* what, const double* expected, const double* actual, std::size_t n);
std::string firstBitDifference(const char* what, const int* expected, const int* actual, std::size_t n);

// One line per area that differs (weights, previous changes, activations, outputs, the class code
// sums and the input window), "" when the pairs are the same bits throughout.
std::string kernelStateDifferences(const Network& expectedNet, const DataStore& expectedStore, const Network& actualNet,
                                   const DataStore& actualStore);

}  // namespace kelvor
