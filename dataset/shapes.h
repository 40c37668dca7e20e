// The shapes of the encoded data and of both networks, in one place: every reader, encoder and
// kernel takes its extents from here.
//
// A residue's row holds kColumns values: the kFeatures features of its window slot (columns
// 1..30), the targets of the kOutputs outputs (33..35), the class code (36) and the outputs that
// learn nothing from it (37). Its window has kWindow slots, the residue itself in kWinCentre;
// the weights of a window slot add the bias slot (kSlots). Hidden layers add a bias neuron after
// their last one.
#pragma once

namespace kelvor {

// The window of a residue.
constexpr int kWindow = 21;     // input window slots
constexpr int kWinCentre = 11;  // the slot of the residue itself
constexpr int kSlots = 22;      // window slots plus the bias slot
constexpr int kBiasSlot = kSlots;
constexpr int kFeatures = 30;  // features per window slot

// Both networks.
constexpr int kOutputs = 3;                 // strand, coil, helix
constexpr int kHidden = 101;                // neurons of each first-stage hidden layer
constexpr int kHiddenBias = kHidden + 1;    // the bias neuron of a first-stage hidden layer
constexpr int kFHidden = 21;                // filter hidden neurons
constexpr int kFHiddenBias = kFHidden + 1;  // the filter's bias neuron
constexpr int kPweiColumns = 2 * kOutputs;  // the output layer's weights, then their previous changes

// A residue's row.
constexpr int kColumns = 38;       // encoded columns per residue
constexpr int kTargetColumn = 33;  // the first of the kOutputs target columns
constexpr int kCodeColumn = 36;    // the class code of the residue's structure
// Column of the outputs that learn nothing from the residue: bit c-1 set for output c, as a
// double 0..7. The trainer never fills it (0: every output learns); the angle network marks
// there the outputs whose target is undefined.
constexpr int kSilentColumn = 37;

static_assert(kSlots == kWindow + 1 && kWinCentre == (kWindow + 1) / 2, "a centred window and one bias slot");
static_assert(kFeatures < kTargetColumn && kTargetColumn + kOutputs <= kCodeColumn && kSilentColumn < kColumns,
              "the columns of a row do not overlap");

}  // namespace kelvor
