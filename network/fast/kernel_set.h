// The interface between the fast engine and its kernels.
//
// The kernels are compiled once per instruction set (fast/kernels_*.cpp, each with its own ISA
// flags) from one body (fast/kernel_body.h). Everything those files define lives in an
// anonymous namespace except their one entry point; this header therefore holds only plain
// data and declarations, no inline code that an ISA-flagged file could emit for the others.
//
// Layouts. The hidden neurons of the first stage are split between the threads: thread t owns
// the neurons base .. base+width-1 (0-based, the last ones may be padding) of both hidden layers.
// Its arrays are "panels": a matrix of R rows whose columns are the thread's neurons, stored
// block after block (a block is up to a few SIMD vectors wide, the last one of a slice perhaps
// half a vector more), each block row-major:
//   element (row r, slice lane q) with q in block b lies at R*bcol[b] + r*bstride[b] + (q-bcol[b]),
// bstride[b] being the block's whole vectors' lanes. A block that ends in half a vector (only a
// slice's last one does, and only with more than one thread) keeps the half vectors of its rows
// after all the rows' whole vectors, row by row (lane q at R*bcol[b] + R*bstride[b] +
// r*(bwidth[b]-bstride[b]) + (q-bcol[b]-bstride[b])): every row starts on a vector boundary (a
// cache line on AVX-512), no load or store of the passes straddles two lines, and no padding
// lane moves with the weights. Every panel is 128-byte aligned and owned by one thread, so no
// two cores write near each other.
#pragma once

#include <cstdint>

#include "dataset/shapes.h"

namespace kelvor::fast {

constexpr int kMaxThreads = 8;
constexpr int kMaxBlocks = 32;
// wei1 rows: (slot i, feature f) at kFeatures*(i-1) + (f-1), then the bias.
constexpr int kBiasRow1 = kWindow * kFeatures;
constexpr int kRows1 = kBiasRow1 + 1;
// wei2 rows: of copy A, m = 1..kHiddenBias (the bias last); of copy B, k = 1..kHidden.
constexpr int kRowsA = kHiddenBias;
constexpr int kRowsB = kHidden;
// dcayin and the pending errh1: one row per window slot.
constexpr int kRowsIn = kWindow;
// The output layer, in the layout of Network::pwei.
constexpr int kPwei = kHiddenBias * kPweiColumns;
// The filter's fwei1 rows: (slot i, output c) at kOutputs*(i-1) + (c-1), then the bias; its fwei2
// in the layout of Network::fwei2.
constexpr int kFilterBiasRow = kWindow * kOutputs;
constexpr int kFilterRows = kFilterBiasRow + 1;
constexpr int kFwei2 = kFHiddenBias * kOutputs;

constexpr int kPadded = 104;    // room for 101 neurons padded to any vector width used
constexpr int kExchange = 128;  // doubles per thread in the exchange buffers (1 KiB, own lines)
constexpr int kLineValues = 7;
constexpr int kBandMiddle = kHidden - 1;
constexpr int kBand = 208;                                     // room for k - m from -100 to kPadded - 1
constexpr int kExchangeLines = kExchange / (kLineValues + 1);  // room for 112 neurons
static_assert(kPadded >= kHidden && kBand >= kBandMiddle + kPadded && kExchangeLines * kLineValues >= kHidden,
              "room for every hidden neuron");

// Arrival counter of one thread at the per-layer barrier, alone on its 128 bytes.
struct alignas(128) Arrival {
  std::int64_t count;
};

// One cache line of an exchange buffer: seven published neurons and the barrier phase they
// belong to, written after them, so that a reader sees the phase and the values at once.
struct alignas(64) ExchangeLine {
  double value[kLineValues];
  std::int64_t phase;
};

struct FirstSlice {
  int base;   // first neuron (0-based) of the slice
  int width;  // lanes, a multiple of the vector width
  int real;   // lanes that are neurons (the rest are zero padding)
  int blocks;
  int bcol[kMaxBlocks];     // first lane of each block
  int bwidth[kMaxBlocks];   // lanes of each block
  int bstride[kMaxBlocks];  // doubles from one row of a block's whole vectors to the next
  double* w1;               // wei1(i, f, h): kRows1 rows
  double* p1;               // owei1, the same
  double* d1;               // dcayin(i, h): kRowsIn rows
  double* e1;               // errh1(i, h) of the pending update: kRowsIn rows
  double* aw;               // wei2(m, k) for the slice's k: kRowsA rows (m = 1..102)
  double* ap;               // owei2, the same
  double* bw;               // wei2(h, k) for the slice's h: kRowsB rows (k = 1..101); none with one thread
  double* bp;               // owei2, the same
  double* sum;              // width: scratch sums
  double* sumB;             // width: the sums of the first residue of a forward pair
  double* birh1;            // width: error terms of the slice's hidden-1 neurons
  // Private copies of what every thread needs whole.
  double* pwei;         // kPwei: the output layer, layout of Network::pwei
  double* hid1;         // kPadded: hid1(m) at m-1; lanes 101.. stay zero
  double* hid2;         // kPadded
  double* hid1B;        // kPadded: hid1 and hid2 of the first residue of a forward pair
  double* hid2B;        // kPadded
  double* birh2;        // kPadded
  double* hid1P;        // kPadded: hid1 and birh2 of the trained residue whose wei2 update is pending
  double* birh2P;       // kPadded
  std::int64_t phase;   // barriers passed
  std::int64_t waited;  // clock ticks spent waiting at barriers (thread 0's watch)
};

struct FirstShared {
  const double* filin;  // kColumns columns per residue
  const int* winlo;
  const int* winhi;
  double* outs;  // kOutputs per residue
  double* sscode;
  int* nsscode;
  double gain, rate, momentum;
  double xbias, h1bias, h2bias;  // xin(22, 1), hid1(102), hid2(102)
  const double* dcayout;         // kPadded: dcayout(m) at m-1, zero beyond
  // dcayhid(m, k), which depends only on |m - k|, at kBandMiddle + k - m (0-based m and k; zero
  // where |m - k| > 100): a row of either copy of wei2 reads its factors as one run of lanes.
  const double* band;
  int threads;
  FirstSlice* slice[kMaxThreads];
  Arrival* arrival;     // one per thread
  ExchangeLine* xhid1;  // exchange: thread t's hidden-1 outputs in lines t*kExchangeLines..
  ExchangeLine* xhid2;
  ExchangeLine* xhid1B;  // the same for the first residue of a forward pair
  ExchangeLine* xhid2B;
  // Going on with one thread. Thread 0 times its waits at the barriers; after kSlowWindows
  // windows of kWatchWindow residues in a row, in each of which it waited longer than kSlowWait
  // times its own work (two threads then being slower than one; the first residue of a range,
  // which holds the other threads' wake-up, is not counted), or at residue forceSolo (tests), it
  // sets `solo` to the residue after which every thread leaves the range; the engine goes on
  // alone for a while (FastEngine), then with the threads again. Set to 0 by the engine before
  // every range.
  int solo;
  int forceSolo;
};

constexpr int kWatchWindow = 1024;
constexpr double kSlowWait = 0.8;
constexpr int kSlowWindows = 2;

struct FilterState {
  const double* filin;
  const int* winlo;
  const int* winhi;
  const double* outs;
  double* sscode;
  int* nsscode;
  double gain, rate, momentum;
  double fbias;           // fhid(22)
  int width;              // 21 padded to the vector width
  double* w1;             // fwei1(i, c, h): kFilterRows rows
  double* p1;             // ofwei1, the same
  double* d1;             // fdcayin(i, h): kRowsIn rows
  double* e1;             // scratch: kRowsIn rows
  double* sum;            // width
  double* birh1;          // width
  double* fhid;           // width: fhid(h) at h-1
  double* w2;             // fwei2: kFwei2, layout of Network::fwei2
  double* p2;             // ofwei2
  const double* dcayout;  // kFHiddenBias: fdcayout(m) at m-1
  double fout[kOutputs];
};

// One instruction set's kernels.
struct KernelSet {
  const char* name;  // e.g. "avx2"
  int lanes;         // doubles per vector
  int blockVectors;  // vectors per block (accumulators kept in registers)
  int tailLanes;     // lanes of the half vector a block may end in (0: none)
  // readwin, calcnet (and backprop with train) for k = first..last; run by every thread t at once.
  // Returns the residue after which the range stopped for the engine to go on alone (0: none).
  int (*firstRange)(FirstShared& s, int t, int first, int last, bool train);
  // readwinf, calcnetf (and backpropf); one thread.
  void (*filterRange)(FilterState& f, int first, int last, bool train);
  // Moves only the bytes a training step must move (wei1 and owei1 read and written once),
  // `steps` times, with one barrier per step: the floor that the training step is measured against.
  void (*floorSteps)(FirstShared& s, int t, int steps);
  // tanh(gain * in[i]) into out[i] for i < n as the kernels compute it: the bits of std::tanh.
  void (*tanhEach)(double gain, const double* in, double* out, int n);
  // Whether tanhEach runs a vector at a time in this process (else value by value).
  bool (*tanhInVectors)();
};

// Entry points of the ISA files; null when the build has no such file.
const KernelSet* kernelsBaseline();
const KernelSet* kernelsAvx2();
const KernelSet* kernelsAvx512();
const KernelSet* kernelsAvx2Wide();  // the AVX-512 layout on AVX2: for tests, never picked first

}  // namespace kelvor::fast
