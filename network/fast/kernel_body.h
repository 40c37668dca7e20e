// The body of the fast kernels, compiled once per instruction set. The including file opens an
// anonymous namespace and defines, before including this:
//   kLanes         doubles per vector
//   Vec            a GCC vector of kLanes doubles
//   kBlockVectors  vectors per block: the sums of one block stay in registers
//
// Every sum runs in the order of the reference kernels and every product keeps its grouping:
// the lanes of a vector are independent neurons (or independent weights), never parts of one
// sum, and every multiply and add is a separate IEEE double operation (no contraction).
//
// A training step of residue n, per thread, on the thread's slice of the hidden neurons:
//   A  the pending wei1 update of the previous trained residue and, in the same pass over its
//      rows, the hidden-1 sums of n (its window is known); tanh; publish the slice's hid1
//   -- barrier --
//   B  hidden-2 sums of the slice's neurons, each row of copy A taking the pending wei2 update
//      just before it serves them; tanh; publish
//   -- barrier --
//   C  the three outputs and the output error terms (every thread, the same values), the
//      hidden-2 error terms (every thread, all of them), the output weights (every thread its
//      own copy), and the slice's hidden-1 error terms from wei2 with the previous residue's
//      update (copy B, each row updated just before it is read).
// The slice's share of wei2 is held twice: copy A by the columns k it sums in B, copy B by the
// rows h whose error terms it forms in C. One thread holds copy A alone, which then has every
// row and column, and forms the error terms from it in turned tiles. The updates of n wait for step n+1 (a weight row
// then moves between cache and core once where it moved twice), or for the end of the range, where step A alone applies
// them; no weight is read by a later residue before its update.
//
// This file must not be included anywhere else.

#include "network/fast/vector_ops.h"
#include "network/fast/sync.h"
#include "network/fast/blocks.h"
#include "network/fast/first_layer2.h"
#include "network/fast/first_pairs.h"
#include "network/fast/first_errors.h"
#include "network/fast/first_wei1_pass.h"
#include "network/fast/first_outputs.h"
#include "network/fast/thread_watch.h"
#include "network/fast/first_range.h"
#include "network/fast/filter.h"

#undef KELVOR_VECTOR_STEP
