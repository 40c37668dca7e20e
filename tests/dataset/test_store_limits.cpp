// The store's residue numbering ends at the largest 32-bit number: no room is set aside beyond
// it, and the residue after it is refused with a message saying so.
#include <gtest/gtest.h>

#include <string>

#include "dataset/store.h"
#include "ground/errors.h"

namespace kelvor {
namespace {

TEST(Store, ResiduesEndAtThe32BitNumbering) {
  DataStore s;
  s.reserveResidues(static_cast<long long>(kMaxResidues) + 1);  // beyond the numbering: nothing set aside
  EXPECT_EQ(s.filin.capacity(), 0u);
  s.addResidue();
  EXPECT_EQ(s.nta, 1);
  s.nta = kMaxResidues;
  try {
    s.addResidue();
    FAIL() << "no error past the last residue number";
  } catch (const ConfigError& e) {
    EXPECT_NE(std::string(e.what()).find("2147483647 residues"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace kelvor
