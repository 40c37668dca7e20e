// Reading the three per-protein files, the window bounds and the encoding of a residue.
#include <gtest/gtest.h>

#include <cmath>

#include "dataset/encoding.h"
#include "dataset/setio.h"
#include "ground/errors.h"
#include "tests/support/test_support.h"

namespace kelvor {
namespace {

using test::ScratchDir;
using test::writeFile;

// Writes the three files of a protein with the given residue and structure letters.
void writeProtein(const ScratchDir& dir, const std::string& name, const std::string& aa, const std::string& ss) {
  for (const char* sub : {"dssp_data", "new_prf", "kvqout"}) std::filesystem::create_directories(dir.path() / sub);
  std::string d, p = "\nheader\n   A R N\n", q = "# index aa ss phi psi\n";
  for (std::size_t i = 0; i < aa.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    d += n + " " + aa[i] + " A " + ss[i] + "\n";
    p += "  " + n + " " + aa[i];
    for (int k = 0; k < 20; ++k) p.append(" ").append(std::to_string((k + static_cast<int>(i)) % 9 - 4));
    p += "  0 0 0 0.5 0.0\n";
    q += n + " " + aa[i] + " " + ss[i] + " -60.0 -45.0 0.9 360.0 50.0 1.0 2.0 " + std::to_string(10 * (i + 1)) + "\n";
  }
  writeFile(dir.file("dssp_data/" + name), d);
  writeFile(dir.file("new_prf/" + name + ".mat"), p + "\n   K  Lambda\n");
  writeFile(dir.file("kvqout/" + name + ".kvqout"), q);
}

DataStore storeFor(const std::vector<std::string>& names, int ntrain, int ntrval) {
  DataStore s;
  s.nprot = static_cast<int>(names.size());
  s.ntrain = ntrain;
  s.ntrval = ntrval;
  for (const auto& n : names) s.pname.push_back(n + std::string(kNameLength - n.size(), ' '));
  return s;
}

struct Captured {
  std::string out;
  bool stopped = false;
};

Captured runSetio(DataStore& store, const ScratchDir& dir) {
  Captured c;
  testing::internal::CaptureStdout();
  try {
    setio(store, dir.path().string() + "/");
  } catch (const DataStop&) {
    c.stopped = true;
  }
  std::fflush(stdout);
  c.out = testing::internal::GetCapturedStdout();
  return c;
}

TEST(Setio, WindowBoundsAndPartBoundariesFollowTheProteins) {
  ScratchDir dir;
  writeProtein(dir, "long", std::string(25, 'A'), std::string(25, 'H'));
  writeProtein(dir, "one", "G", "E");
  writeProtein(dir, "five", "KRDEN", "CCHHE");
  DataStore s = storeFor({"long", "one", "five"}, 1, 2);
  ASSERT_FALSE(runSetio(s, dir).stopped);
  EXPECT_EQ(s.nta, 31);
  EXPECT_EQ(s.ntatrain, 25);
  EXPECT_EQ(s.ntatrval, 26);
  EXPECT_EQ(s.wincen, 11);
  EXPECT_EQ(s.outcen, 1);
  auto win = [&](int r) { return std::make_pair(s.winlo[r - 1], s.winhi[r - 1]); };
  EXPECT_EQ(win(1), std::make_pair(11, 21));
  EXPECT_EQ(win(11), std::make_pair(1, 21));
  EXPECT_EQ(win(25), std::make_pair(1, 11));
  EXPECT_EQ(win(26), std::make_pair(11, 11));  // a protein of one residue
  EXPECT_EQ(win(29), std::make_pair(9, 13));   // third residue of five
  for (int r = 1; r <= s.nta; ++r) {
    EXPECT_EQ(s.outlo[r - 1], 1);
    EXPECT_EQ(s.outhi[r - 1], 1);
  }
  EXPECT_EQ(s.fin(26, 36), -0.6);
  EXPECT_EQ(s.fin(29, 36), 0.5);
}

TEST(Setio, EmptyAndMissingProteinsKeepTheNumbering) {
  ScratchDir dir;
  writeProtein(dir, "a", "AAA", "HHH");
  writeProtein(dir, "empty", "", "");
  writeProtein(dir, "b", "GGGG", "EEEE");
  DataStore s = storeFor({"a", "empty", "b"}, 2, 3);
  ASSERT_FALSE(runSetio(s, dir).stopped);
  EXPECT_EQ(s.nta, 7);
  EXPECT_EQ(s.ntatrain, 3);
  EXPECT_EQ(s.winlo[3], 11);  // first residue of b follows a directly

  std::filesystem::remove(dir.file("dssp_data/empty"));
  DataStore m = storeFor({"a", "empty", "b"}, 0, 3);
  testing::internal::CaptureStderr();
  ASSERT_FALSE(runSetio(m, dir).stopped);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("dssp_data/empty"), std::string::npos) << err;
  EXPECT_EQ(m.nta, 7);
  EXPECT_EQ(m.ntatrain, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("dssp_data/empty")));  // reading creates nothing
}

TEST(Setio, ShortestFileDecidesAndARecordMaySpanLines) {
  ScratchDir dir;
  writeProtein(dir, "p", "AAAAA", "HHHHH");
  // One more DSSP line and a profile record spread over two lines.
  writeFile(dir.file("dssp_data/p"), test::readFile(dir.file("dssp_data/p")) + "6 A A H\n");
  std::string prf = test::readFile(dir.file("new_prf/p.mat"));
  const std::size_t at = prf.find("  1 A") + 20;
  prf.insert(at, "\n");
  writeFile(dir.file("new_prf/p.mat"), prf);
  DataStore s = storeFor({"p"}, 1, 1);
  testing::internal::CaptureStderr();
  ASSERT_FALSE(runSetio(s, dir).stopped);
  const std::string err = testing::internal::GetCapturedStderr();
  // The profile's footer does not parse as a record: the sixth residue ends the protein.
  EXPECT_EQ(s.nta, 5);
  EXPECT_NE(err.find("new_prf/p.mat"), std::string::npos) << err;
  EXPECT_EQ(s.fin(1, 8), -4 / 9.0);
}

TEST(Setio, LetterMismatchesGiveTheirFourLineReports) {
  ScratchDir dir;
  writeProtein(dir, "x", "AAAA", "HHHH");
  writeProtein(dir, "y", "GGGGKGG", "EEEECCC");
  writeProtein(dir, "z", "AAAAAAA", "HHHHHHH");
  std::string d = test::readFile(dir.file("dssp_data/y"));
  d.replace(d.find("5 K"), 3, "5 R");
  writeFile(dir.file("dssp_data/y"), d);
  DataStore s = storeFor({"x", "y", "z"}, 1, 3);
  Captured c = runSetio(s, dir);
  EXPECT_TRUE(c.stopped);
  const std::string name = "y" + std::string(119, ' ');
  EXPECT_EQ(c.out,
            " aa12 mismatch, aborting\n"
            " i=           5    nta=           9    ix=           2\n"
            " aa1: R     aa2: K\n"
            " file: \n " +
                name + "\n");

  writeProtein(dir, "y", "GGGGKGG", "EEEECCC");
  std::string q = test::readFile(dir.file("kvqout/y.kvqout"));
  q.replace(q.find("\n2 G"), 4, "\n2 g");
  writeFile(dir.file("kvqout/y.kvqout"), q);
  DataStore t = storeFor({"x", "y", "z"}, 1, 3);
  c = runSetio(t, dir);
  EXPECT_TRUE(c.stopped);
  EXPECT_EQ(c.out.substr(0, c.out.find("\n", c.out.find("aa2:"))),
            " aa23 mismatch, aborting\n i=           2    nta=           6    ix=           2\n aa2: G     aa3: g");
}

TEST(Setio, ThreeLetterFieldsCountTheirFirstLetterAndUnknownStructuresStop) {
  ScratchDir dir;
  writeProtein(dir, "p", "AAA", "HHH");
  std::string d = test::readFile(dir.file("dssp_data/p"));
  d.replace(d.find("1 A"), 3, "1 ALA");
  writeFile(dir.file("dssp_data/p"), d);
  DataStore s = storeFor({"p"}, 1, 1);
  ASSERT_FALSE(runSetio(s, dir).stopped);
  EXPECT_EQ(s.nta, 3);

  for (char bad : {'G', 'T', 'h'}) {
    writeProtein(dir, "p", "AAA", std::string("HH") + bad);
    DataStore u = storeFor({"p"}, 1, 1);
    Captured c = runSetio(u, dir);
    EXPECT_TRUE(c.stopped) << bad;
    EXPECT_EQ(c.out, " SS type not found, aborting.\n") << bad;
  }
}

TEST(Setio, MissingHeaderLinesAreFileErrors) {
  ScratchDir dir;
  writeProtein(dir, "p", "AAA", "HHH");
  writeFile(dir.file("new_prf/p.mat"), "one\ntwo\n");
  DataStore s = storeFor({"p"}, 1, 1);
  EXPECT_THROW(setio(s, dir.path().string() + "/"), FileError);
  writeProtein(dir, "p", "AAA", "HHH");
  std::filesystem::remove(dir.file("kvqout/p.kvqout"));
  DataStore t = storeFor({"p"}, 1, 1);
  try {
    setio(t, dir.path().string() + "/");
    FAIL();
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("kvqout/p.kvqout"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("missing"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("kvqout/p.kvqout")));
}

class EncodingTest : public testing::Test {
 protected:
  std::vector<double> encode(char aa, char ss, double a1, double a2, double area) {
    DataStore s;
    s.addResidue();
    double prof[20];
    for (int k = 0; k < 20; ++k) prof[k] = k - 9;
    ok = enc.encode(s, 1, aa, ss, prof, a1, a2, area);
    return std::vector<double>(s.filin.begin(), s.filin.begin() + kColumns);
  }
  Encoder enc;
  bool ok = false;
};

TEST_F(EncodingTest, ParametersAreSinglePrecisionValuesOverPointNine) {
  std::vector<double> w = encode('W', 'H', 0, 0, 0);
  const double nine = static_cast<double>(0.9f) / 0.9;
  EXPECT_EQ(w[1], nine);
  EXPECT_EQ(w[2], nine);
  EXPECT_EQ(w[3], nine);
  EXPECT_NEAR(w[1], 0.99999997, 1e-8);
  EXPECT_EQ(w[0], static_cast<double>(0.479f) / 0.9);
  std::vector<double> g = encode('G', 'H', 0, 0, 0);
  for (int c : {0, 1, 2, 5, 6}) EXPECT_EQ(g[c], -nine) << c;
  std::vector<double> k = encode('K', 'H', 0, 0, 0);
  EXPECT_EQ(k[0], static_cast<double>(-0.088f) / 0.9);
  std::vector<double> x = encode('X', 'H', 0, 0, 0);
  for (int c = 0; c < 7; ++c) EXPECT_EQ(x[c], 0.0);
  std::vector<double> b = encode('B', 'H', 0, 0, 0), d = encode('D', 'H', 0, 0, 0);
  std::vector<double> z = encode('Z', 'H', 0, 0, 0), e = encode('E', 'H', 0, 0, 0);
  for (int c = 0; c < 7; ++c) {
    EXPECT_EQ(b[c], d[c]);
    EXPECT_EQ(z[c], e[c]);
  }
  for (char out : {'a', '\x7f', '\x80', '\xff', '\0'}) {
    std::vector<double> v = encode(out, 'H', 0, 0, 0);
    for (int c = 0; c < 7; ++c) EXPECT_EQ(v[c], 0.0);
  }
  EXPECT_EQ(w[7], -9 / 9.0);
  EXPECT_EQ(w[26], 10 / 9.0);
}

TEST_F(EncodingTest, AreaAndAngles) {
  EXPECT_EQ(encode('A', 'H', 0, 0, 0)[27], -1.0);
  EXPECT_EQ(encode('A', 'H', 0, 0, 169)[27], 1.0);
  EXPECT_EQ(encode('L', 'H', 0, 0, 110.5)[27], 0.0);
  EXPECT_EQ(encode('A', 'H', -180, 0, 0)[28], -1.0);
  EXPECT_EQ(encode('A', 'H', 90, 0, 0)[28], 0.5);
  EXPECT_NEAR(encode('A', 'H', 0, -180, 0)[29], 0.7222, 1e-12);
  EXPECT_NEAR(encode('A', 'H', 0, 180, 0)[29], 0.7222, 1e-12);
  EXPECT_NEAR(encode('A', 'H', 0, 0, 0)[29], -0.2778, 1e-12);
  EXPECT_NEAR(encode('A', 'H', 0, 50, 0)[29], -0.0000222222, 1e-9);
  EXPECT_NEAR(encode('A', 'H', 0, -130, 0)[29], 0.99998, 1e-5);
  EXPECT_NEAR(encode('A', 'H', 0, -129, 0)[29], -0.99447, 1e-5);
  EXPECT_EQ(encode('A', 'H', 0, 0, 400)[27], (400 / 169.0 - 0.5) * 2);  // never clamped
}

TEST_F(EncodingTest, LettersWithoutAMaximumUseTheOneInEffectOrTheMiddle) {
  Encoder fresh;
  enc = fresh;
  EXPECT_EQ(encode('X', 'H', 0, 0, 50)[27], 0.0);  // no maximum yet: the middle of the scale
  encode('G', 'H', 0, 0, 0);
  EXPECT_EQ(encode('X', 'H', 0, 0, 68)[27], 0.0);  // G's 136 stays in effect
  EXPECT_EQ(encode('z', 'H', 0, 0, 136)[27], 1.0);
}

TEST_F(EncodingTest, ClassesAndUnknownStructureLetters) {
  std::vector<double> e = encode('A', 'E', 0, 0, 0);
  EXPECT_TRUE(ok);
  EXPECT_EQ(std::vector<double>(e.begin() + 32, e.begin() + 36), (std::vector<double>{1, -1, -1, -0.6}));
  std::vector<double> c = encode('A', 'C', 0, 0, 0);
  EXPECT_EQ(std::vector<double>(c.begin() + 32, c.begin() + 36), (std::vector<double>{-1, 1, -1, -0.2}));
  std::vector<double> h = encode('A', 'H', 0, 0, 0);
  EXPECT_EQ(std::vector<double>(h.begin() + 32, h.begin() + 36), (std::vector<double>{-1, -1, 1, 0.5}));
  for (char s : {'G', 'I', 'T', 'S', 'B', 'h'}) {
    std::vector<double> v = encode('W', s, 0, 0, 0);
    EXPECT_FALSE(ok) << s;
    EXPECT_NE(v[1], 0.0);  // the features were written before the test
  }
}

}  // namespace
}  // namespace kelvor
