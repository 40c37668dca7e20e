// The one chain reader: which files a chain is read from, what ends it, and where its residues go.
#include <gtest/gtest.h>

#include "dataset/chain_reader.h"
#include "ground/errors.h"
#include "tests/support/test_support.h"

namespace kelvor {
namespace {

using test::ScratchDir;
using test::writeFile;

constexpr double kCoil = -0.2;  // class code of a coil residue

// Writes the three files of a chain; an empty `ss` writes no DSSP-data file.
void writeChain(const ScratchDir& dir, const std::string& name, const std::string& aa, const std::string& ss) {
  for (const char* sub : {"dssp_data", "new_prf", "kvqout"}) std::filesystem::create_directories(dir.path() / sub);
  std::string d, p = "\nheader\n   A R N\n", q = "# index aa ss phi psi\n";
  for (std::size_t i = 0; i < aa.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    if (!ss.empty()) d += n + " " + aa[i] + " A " + ss[i] + "\n";
    p += "  " + n + " " + aa[i];
    for (int k = 0; k < 20; ++k) p.append(" ").append(std::to_string((k + static_cast<int>(i)) % 9 - 4));
    p += "\n";
    q += n + " " + aa[i] + " C -60.0 -45.0 0.9 360.0 50.0 1.0 2.0 " + std::to_string(10 * (i + 1)) + "\n";
  }
  if (!ss.empty()) writeFile(dir.file("dssp_data/" + name), d);
  writeFile(dir.file("new_prf/" + name + ".mat"), p + "\n   K  Lambda\n");
  writeFile(dir.file("kvqout/" + name + ".kvqout"), q);
}

struct Reader {
  explicit Reader(const ScratchDir& dir) : root(dir.path().string() + "/") {}
  ChainRead read(const std::string& name, ChainFiles files) {
    return readChain(store, encoder, holders, root, name, files);
  }
  std::string root;
  DataStore store;
  Encoder encoder;
  ResidueRecord holders;
};

TEST(ChainReader, AChainWithoutADsspFileIsReadFromItsOtherFilesOnlyWhereThatIsAllowed) {
  ScratchDir dir;
  writeChain(dir, "lab", "KRDE", "HHEC");
  writeChain(dir, "bare", "GAVLI", "");
  Reader r(dir);

  const ChainRead lab = r.read("lab", ChainFiles::kLabelledWhenDssp);
  EXPECT_TRUE(lab.labelled);
  EXPECT_EQ(lab.observed, "HHEC");
  const ChainRead bare = r.read("bare", ChainFiles::kLabelledWhenDssp);
  EXPECT_EQ(bare.end, ChainRead::End::kComplete);
  EXPECT_FALSE(bare.labelled);
  EXPECT_FALSE(bare.dsspMissing);
  EXPECT_EQ(bare.residues, "GAVLI");
  EXPECT_EQ(bare.observed, "");
  EXPECT_EQ(bare.first, 5);
  EXPECT_EQ(bare.length, 5);
  for (int row = 5; row <= 9; ++row) EXPECT_EQ(r.store.fin(row, 36), kCoil) << row;
  EXPECT_EQ(r.store.winlo[4], 11);  // its own window starts at its first residue
  EXPECT_EQ(r.store.winhi[8], 11);

  // kelvor's data set: the chain has no residues, and the store takes none.
  const ChainRead none = r.read("bare", ChainFiles::kLabelled);
  EXPECT_TRUE(none.labelled);
  EXPECT_TRUE(none.dsspMissing);
  EXPECT_EQ(none.first, 0);
  EXPECT_EQ(none.length, 0);
  EXPECT_EQ(r.store.nta, 9);
  EXPECT_FALSE(std::filesystem::exists(dir.file("dssp_data/bare")));  // reading creates nothing
}

TEST(ChainReader, WhatEndsAChainComesBackWithItsFilesAndLines) {
  ScratchDir dir;
  Reader r(dir);

  // A DSSP-data file longer than the others: the profile's footer ends the chain early, the
  // residues before it kept.
  writeChain(dir, "early", "AAA", "HHH");
  writeFile(dir.file("dssp_data/early"), test::readFile(dir.file("dssp_data/early")) + "4 A A H\n");
  const ChainRead early = r.read("early", ChainFiles::kLabelled);
  EXPECT_EQ(early.end, ChainRead::End::kEarly);
  EXPECT_EQ(early.residue, 4);
  EXPECT_EQ(early.length, 3);
  EXPECT_NE(early.early.find("new_prf/early.mat"), std::string::npos) << early.early;

  // DSSP-data and profile letters disagree at residue 2: the residue is counted, the read stops.
  writeChain(dir, "dp", "GKG", "EEE");
  std::string d = test::readFile(dir.file("dssp_data/dp"));
  d.replace(d.find("2 K"), 3, "2 R");
  writeFile(dir.file("dssp_data/dp"), d);
  const ChainRead dp = r.read("dp", ChainFiles::kLabelled);
  EXPECT_EQ(dp.end, ChainRead::End::kLetters);
  EXPECT_EQ(dp.residue, 2);
  EXPECT_EQ(r.store.nta, 5);
  EXPECT_EQ(dp.one.file, RecordFile::kDssp);
  EXPECT_EQ(dp.one.line, 2);
  EXPECT_EQ(dp.one.letter, 'R');
  EXPECT_EQ(dp.other.file, RecordFile::kProfile);
  EXPECT_EQ(dp.other.line, 5);
  EXPECT_EQ(dp.other.letter, 'K');
  EXPECT_EQ(dp.path(dp.other.file), dir.file("new_prf/dp.mat"));

  // Profile and prediction letters disagree in a chain without a DSSP-data file.
  writeChain(dir, "pq", "GKG", "");
  std::string q = test::readFile(dir.file("kvqout/pq.kvqout"));
  q.replace(q.find("\n3 G"), 4, "\n3 g");
  writeFile(dir.file("kvqout/pq.kvqout"), q);
  const ChainRead pq = r.read("pq", ChainFiles::kLabelledWhenDssp);
  EXPECT_EQ(pq.end, ChainRead::End::kLetters);
  EXPECT_EQ(pq.residue, 3);
  EXPECT_EQ(pq.one.file, RecordFile::kProfile);
  EXPECT_EQ(pq.other.file, RecordFile::kPrediction);
  EXPECT_EQ(pq.other.line, 4);
  EXPECT_EQ(pq.other.letter, 'g');

  // A structure letter other than H, E or C.
  writeChain(dir, "ss", "AAA", "HGH");
  const ChainRead ss = r.read("ss", ChainFiles::kLabelled);
  EXPECT_EQ(ss.end, ChainRead::End::kStructure);
  EXPECT_EQ(ss.residue, 2);
  EXPECT_EQ(ss.one.line, 2);
  EXPECT_EQ(ss.one.letter, 'G');
}

TEST(ChainReader, ANameIsItsTextWithoutTrailingBlanksInEveryProgram) {
  ScratchDir dir;
  writeChain(dir, "p1", "AC", "HH");
  Reader r(dir);
  for (ChainFiles files : {ChainFiles::kLabelled, ChainFiles::kLabelledWhenDssp, ChainFiles::kProfileOnly}) {
    const ChainRead c = r.read("p1" + std::string(60, ' ') + "\t ", files);
    EXPECT_EQ(c.name, "p1");
    EXPECT_EQ(c.length, 2);
    EXPECT_EQ(c.paths.dssp, dir.file("dssp_data/p1"));
  }
}

TEST(ChainReader, AProfileAloneEndsAtItsFooterAndLeavesThePredictionInputsAtZero) {
  ScratchDir dir;
  writeChain(dir, "p", "MKV", "HHH");
  std::filesystem::remove(dir.file("kvqout/p.kvqout"));  // never opened
  Reader r(dir);
  const ChainRead c = r.read("p", ChainFiles::kProfileOnly);
  EXPECT_EQ(c.residues, "MKV");
  EXPECT_FALSE(c.labelled);
  EXPECT_EQ(c.first, 1);
  EXPECT_EQ(c.length, 3);
  for (int row = 1; row <= 3; ++row) {
    for (int col = 28; col <= 30; ++col) EXPECT_EQ(r.store.fin(row, col), 0.0) << row << " " << col;
    EXPECT_EQ(r.store.fin(row, 36), kCoil);
  }

  writeFile(dir.file("new_prf/p.mat"), "\nheader\n   A R N\n  1 M 1 2 x\n");
  try {
    r.read("p", ChainFiles::kProfileOnly);
    FAIL();
  } catch (const FileError& e) {
    EXPECT_EQ(e.file(), dir.file("new_prf/p.mat"));
    EXPECT_EQ(e.line(), 4);
  }
}

}  // namespace
}  // namespace kelvor
