// The name rule: what a name is, the field it is kept in, and when it is refused.
#include <gtest/gtest.h>

#include "dataset/setio.h"
#include "ground/names.h"

namespace kelvor {
namespace {

TEST(Names, ANameIsItsTextWithoutTrailingBlanksKeptInOneFieldAndNeverCut) {
  EXPECT_EQ(nameOf("1abc_A  \t \r"), "1abc_A");
  EXPECT_EQ(nameOf("  lead"), "  lead");  // leading blanks belong to the name
  EXPECT_EQ(nameOf(" \t "), "");

  const std::string field = nameField("1abc_A\t");
  EXPECT_EQ(field.size(), kNameField);
  EXPECT_EQ(nameOf(field), "1abc_A");
  // A text longer than the field only by trailing blanks keeps its name.
  const std::string full(kNameField, 'x');
  EXPECT_EQ(nameField(full + "   "), full);
  EXPECT_FALSE(nameLengthProblem(full + " \t "));
  ASSERT_TRUE(nameLengthProblem(full + "y"));
  EXPECT_EQ(*nameLengthProblem(full + "y"), "name of 121 characters; allowed: at most 120, a name is never cut");

  // Every program forms the same paths from a list line, whatever blanks end it.
  const ProteinPaths p = proteinPaths("root/", nameField("1abc_A \t"));
  EXPECT_EQ(p.dssp, "root/dssp_data/1abc_A");
  EXPECT_EQ(p.profile, "root/new_prf/1abc_A.mat");
  EXPECT_EQ(p.prediction, "root/kvqout/1abc_A.kvqout");
}

}  // namespace
}  // namespace kelvor
