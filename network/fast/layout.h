// The fast engine's layouts: the first stage's hidden neurons dealt out to the threads' slices,
// every panel carved from an arena, and the filter's panels. A layout is carved empty (zero);
// network/fast/panels.h fills it from the Network and reads it back.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "network/fast/arena.h"
#include "network/fast/kernel_set.h"

namespace kelvor::fast {

// The first stage laid out for some number of threads: each slice in memory of its own, and
// what the threads share.
struct FirstLayout {
  int threads = 0;
  FirstShared shared{};
  FirstSlice slices[kMaxThreads]{};
  std::vector<std::unique_ptr<Arena>> arenas;  // one per slice
  std::unique_ptr<Arena> common;               // arrivals, exchange buffers, dcayout, the band
};

struct FilterLayout {
  FilterState state{};
  std::unique_ptr<Arena> arena;
};

// Deals the hidden neurons out to `threads` slices, in units of half a vector where the kernels
// take one, so that the slices differ by at most half a vector (every slice keeps at least one
// whole vector), and carves every panel.
void layOutFirst(FirstLayout& L, const KernelSet& kernels, int threads);
// The filter's panels: its hidden neurons padded to the vector width.
void layOutFilter(FilterLayout& F, const KernelSet& kernels);

// Position of (row r, slice lane q) in a panel of `rows` rows: the whole vectors of a block row
// by row, then (in a block that ends in half a vector) the half vectors row by row.
std::size_t panelAt(const FirstSlice& sl, int rows, int q, int r);
// The slice and lane of hidden neuron h (0-based) in a layout.
std::pair<int, int> laneOf(const FirstLayout& L, int h);

// Hands the weights and previous changes of one layout over to another, neuron by neuron. Copy B
// of wei2, where the new layout keeps one, is built from copy A (the copies agree between
// ranges; a layout of one thread has no copy B).
void handOver(const FirstLayout& from, FirstLayout& to);

}  // namespace kelvor::fast
