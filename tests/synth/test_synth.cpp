// The synthetic set generator's refusals: a set that would not fit in memory is refused by its
// counts before anything is set aside, and a directory holding a data set is never written over
// unless asked.
#include <gtest/gtest.h>

#include <algorithm>

#include "ground/errors.h"
#include "tests/support/test_support.h"
#include "tools/synth/synth_chain.h"
#include "tools/synth/synth_room.h"
#include "tools/synth/synth_set.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;

synth::SetOptions ask(long chains, long residues) {
  synth::SetOptions o;
  o.chains = chains;
  o.residues = residues;
  return o;
}

TEST(SyntheticSetRoom, TheBoundsHoldForRealSets) {
  // The longest chain stays within the bound, however the residues are spread.
  for (auto [chains, residues] : {std::pair{40L, 8000L}, {7L, 7L}, {3L, 100000L}, {0L, 5000L}, {500L, 0L}, {1L, 20L}}) {
    const synth::SetOptions o = ask(chains, residues);
    const std::vector<int> lengths = synth::chainLengths(o);
    EXPECT_LE(static_cast<std::uint64_t>(*std::max_element(lengths.begin(), lengths.end())),
              synth::longestChainBound(o))
        << chains << " " << residues;
  }
  // The texts of a residue take less than half the room set aside for them (strings grow by
  // doubling), on a chain long enough for its coordinates to wander.
  synth::Random random(3);
  synth::ChainTexts texts;
  const int length = 100000;
  synth::makeChain(random, length, texts);
  EXPECT_LE(texts.dssp.size() + texts.profile.size() + texts.prediction.size(),
            synth::kTextBytesPerResidue / 2 * length);
}

TEST(SyntheticSetRoom, TooLargeSetsAreRefusedByTheirCounts) {
  const std::uint64_t gib = 1024ull * 1024 * 1024;
  EXPECT_NO_THROW(synth::checkRoom(ask(3000, 610000), gib));

  struct Case {
    long chains, residues;
    const char* said;
  };
  for (const Case& c : {Case{2000000000, 0,
                             "2000000000 chains need 34333 MiB of memory; kelvor-synth may use 1024 MiB "
                             "here; ask for fewer chains"},
                        Case{1, 2000000000,
                             "2000000000 residues in 1 chain (up to 2000000000 residues in one chain) "
                             "need 1144409 MiB of memory; kelvor-synth may use 1024 MiB here; ask for "
                             "fewer residues or more chains"}}) {
    try {
      synth::checkRoom(ask(c.chains, c.residues), gib);
      ADD_FAILURE() << c.said;
    } catch (const MemoryError& e) {
      EXPECT_EQ(std::string(e.what()), c.said);
    }
  }
  // Past what any machine holds: refused by the generator itself, before it sets anything aside.
  EXPECT_THROW(synth::chainLengths(ask(1, 2147483647)), MemoryError);
}

TEST(SyntheticSetRoom, ADirectoryHoldingASetIsLeftAsItIsUnlessOverwriteIsGiven) {
  ScratchDir dir;
  synth::SetOptions o = ask(4, 800);
  o.dir = dir.path().string();
  o.epochs = 1;
  EXPECT_EQ(synth::existingSetFile(o), "");
  synth::writeSet(o);
  const std::string list = test::readFile(dir.file("proteins.list"));

  // Another seed over the first set: refused, naming the list, and nothing changes.
  o.seed = 2;
  const std::string before = test::readFile(dir.file("dssp_data/syn0001"));
  try {
    synth::writeSet(o);
    ADD_FAILURE() << "a set was written over another";
  } catch (const FileError& e) {
    EXPECT_EQ(e.file(), dir.file("proteins.list"));
    EXPECT_NE(std::string(e.what()).find("give --overwrite to replace it"), std::string::npos) << e.what();
  }
  EXPECT_EQ(test::readFile(dir.file("dssp_data/syn0001")), before);

  // Per-protein files alone count, and so does a defaults file when one would be written.
  fs::remove(dir.file("proteins.list"));
  EXPECT_EQ(synth::existingSetFile(o), dir.file("kelvor.in"));
  fs::remove(dir.file("kelvor.in"));
  fs::remove_all(dir.file("dssp_data"));
  fs::remove_all(dir.file("kvqout"));
  EXPECT_EQ(fs::path(synth::existingSetFile(o)).parent_path(), dir.path() / "new_prf");
  EXPECT_THROW(synth::writeSet(o), FileError);
  fs::remove_all(dir.file("new_prf"));
  test::writeFile(dir.file("kelvor.in"), "kept\n");
  o.epochs = -1;
  EXPECT_EQ(synth::existingSetFile(o), "");  // no defaults file to write: the one there stays
  synth::writeSet(o);
  EXPECT_EQ(test::readFile(dir.file("kelvor.in")), "kept\n");

  // Asked to: the new set replaces the old one.
  o.seed = 1;
  o.overwrite = true;
  o.epochs = 1;
  synth::writeSet(o);
  EXPECT_EQ(test::readFile(dir.file("proteins.list")), list);
  EXPECT_NE(test::readFile(dir.file("kelvor.in")), "kept\n");
}

}  // namespace
}  // namespace kelvor
