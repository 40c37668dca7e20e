// A test-only hook that makes a run die at a chosen event instead of at a chosen time, so that
// the kill tests stop a run where they mean to on any machine, however fast or busy.
//
// Off unless the environment variable KELVOR_TEST_KILL_AT is set; it is read once, at the first
// event. Its forms:
//   KELVOR_TEST_KILL_AT=<event>:<n>  the process sends itself SIGKILL just before its n-th event
//                                    of that kind (n from 1), after writing the counts of the
//                                    events before it on standard error as "tally" does;
//   KELVOR_TEST_KILL_AT=tally        the process writes the count of every kind of event on
//                                    standard error when it exits: "kelvor: test events: line 12
//                                    save 5 part 14 rename 14".
// Events: "line" (a report line written), "save" (a set of files about to be replaced), "part"
// (one temporary of such a set written completely), "rename" (one file renamed into place).
// <n> is plain decimal digits, as in every KELVOR_* variable (ground/whole_number.h). A malformed
// value is ignored with a warning: the hook never changes what a run does otherwise.
#pragma once

namespace kelvor {

enum class TestEvent { kLine, kSave, kPart, kRename };

void testKillPoint(TestEvent event);

}  // namespace kelvor
