// Initial state of both networks: the random generator, every weight and previous change, the
// bias activations and the attenuation factors.
#pragma once

#include <optional>

#include "dataset/store.h"
#include "network/state.h"
#include "network/time_of_day.h"

namespace kelvor {

// Multiplicative congruential generator (16807, modulus 2^31 - 1). Returns the state before
// the step divided by 2147483711 and advances `seed`.
double randnm(int& seed);

// The seed that the seed offset and the time of day give, or nothing when the formula leaves
// its defined range (an intermediate at or above 2^31, or a sum that is not positive).
std::optional<int> seedFromTime(int offset, const TimeOfDay& t);

// Draws every weight in its binding order (78720 draws) and sets the previous changes.
void drawWeights(Network& net, int& seed);
// Computes the five attenuation arrays from net.dcay.
void attenuation(Network& net);

// netinit: seeds the generator (store.seed) from the offset and the time of day `t`, sets the
// bias values, draws the weights and computes the attenuation factors. Returns the seed before
// the draws, which the caller shows on the line "random seed = ". Throws ConfigError when the
// seed formula is undefined.
int netinit(Network& net, DataStore& store, int offset, const TimeOfDay& t);

}  // namespace kelvor
