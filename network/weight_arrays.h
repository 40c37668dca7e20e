// The trained arrays of both networks, listed once: the weights and the previous changes that
// momentum reads. Whatever keeps or restores a network's trained state (the checkpoint) walks
// this list, so no array can be left out by one of its users.
#pragma once

#include <algorithm>
#include <span>
#include <vector>

#include "network/state.h"

namespace kelvor {

// Calls f(name, span) for every trained array of `net` (const or not), always in this order.
template <typename Net, typename F>
void forEachWeightArray(Net& net, F&& f) {
  f("wei1", std::span(net.wei1));
  f("wei2", std::span(net.wei2));
  f("owei1", std::span(net.owei1));
  f("owei2", std::span(net.owei2));
  f("pwei", std::span(net.pwei));
  f("fwei1", std::span(net.fwei1));
  f("fwei2", std::span(net.fwei2));
  f("ofwei1", std::span(net.ofwei1));
  f("ofwei2", std::span(net.ofwei2));
}

// Copies every trained array of `from` into `to`.
inline void copyWeightArrays(const Network& from, Network& to) {
  std::vector<std::span<const double>> source;
  forEachWeightArray(from, [&](const char*, auto a) { source.emplace_back(a); });
  std::size_t i = 0;
  forEachWeightArray(to, [&](const char*, auto a) { std::copy(source[i].begin(), source[i].end(), a.begin()), ++i; });
}

}  // namespace kelvor
