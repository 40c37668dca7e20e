// The checksum of checkpoints and run identities is the published 64-bit FNV-1a: files written
// by one build are read by another, so its values must never drift.
#include <gtest/gtest.h>

#include <string>

#include "ground/checksum.h"

namespace kelvor {
namespace {

TEST(Checksum, KnownValuesOfFnv1a) {
  EXPECT_EQ(fnv1a("", 0), kFnvBasis);
  EXPECT_EQ(fnv1a("a", 1), 0xaf63dc4c8601ec8cULL);
  EXPECT_EQ(fnv1a("foobar", 6), 0x85944171f73967e8ULL);
}

TEST(Checksum, ContinuesFromAnEarlierHash) {
  const std::string text = "kelvor.checkpoint";
  EXPECT_EQ(fnv1a(text.data() + 6, text.size() - 6, fnv1a(text.data(), 6)), fnv1a(text.data(), text.size()));
}

}  // namespace
}  // namespace kelvor
