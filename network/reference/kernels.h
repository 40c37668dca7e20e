// The reference kernels: plain transcriptions of the forward passes and training steps, in the
// stated order of every sum and the stated grouping of every product, with no intrinsics and no
// reordering. Every faster kernel is proven bit-identical against these.
#pragma once

#include "dataset/store.h"
#include "network/state.h"

namespace kelvor {

// tanh(gain * x).
inline double tfunc(const Network& net, double x);

// Class code of three outputs: the largest wins; H wins every tie it is in, E a tie with C.
double classCode(double o1, double o2, double o3);

// First stage.
void readwin(DataStore& store, int n);                       // xin slots winlo..winhi, targ
void calcnet(Network& net, DataStore& store, int n);         // hid1, hid2, outs(n, .), sscode(n)
void backprop(Network& net, const DataStore& store, int n);  // one training step on residue n

// Filter.
void readwinf(Network& net, DataStore& store, int n);         // finp slots winlo..winhi, targ
void calcnetf(Network& net, DataStore& store, int n);         // fhid, fout, sscode(n)
void backpropf(Network& net, const DataStore& store, int n);  // one training step on residue n

}  // namespace kelvor

#include <cmath>
inline double kelvor::tfunc(const Network& net, double x) { return std::tanh(net.gain * x); }
