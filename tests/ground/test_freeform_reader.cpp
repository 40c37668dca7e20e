// The free-form input record and the whole-line read.
#include <gtest/gtest.h>

#include <cmath>

#include "ground/errors.h"
#include "ground/freeform_reader.h"

namespace kelvor {
namespace {

TEST(FreeformReader, ValuesSpanLinesAndTheRestOfTheLastLineIsSkipped) {
  RecordReader in("t", "3 a comment\n4\n\n  5, 6 7\n8\n");
  int a = 0, b = 0;
  ASSERT_TRUE(in.read({Item::integer(a)}).ok());
  ASSERT_TRUE(in.read({Item::integer(b)}).ok());
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, 4);
  // Within one read, the word after a value is the next value.
  RecordReader words("t", "3 a comment\n");
  EXPECT_EQ(words.read({Item::integer(a), Item::integer(b)}).status, ReadResult::kBadValue);
  int c = 0, d = 0;
  ASSERT_TRUE(in.read({Item::integer(c), Item::integer(d)}).ok());  // blank line passed over
  EXPECT_EQ(c, 5);
  EXPECT_EQ(d, 6);
  ASSERT_TRUE(in.read({Item::integer(a)}).ok());  // 7 was skipped with its line
  EXPECT_EQ(a, 8);
  EXPECT_EQ(in.read({Item::integer(a)}).status, ReadResult::kEndOfFile);
}

TEST(FreeformReader, CommasSeparateAndTwoCommasLeaveAValueUnchanged) {
  RecordReader in("t", "1 , 2,,4\n,9\n");
  int a = 0, b = 0, c = -1, d = 0;
  ASSERT_TRUE(in.read({Item::integer(a), Item::integer(b), Item::integer(c), Item::integer(d)}).ok());
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, -1);
  EXPECT_EQ(d, 4);
  int e = 7, f = 0;
  ASSERT_TRUE(in.read({Item::integer(e), Item::integer(f)}).ok());
  EXPECT_EQ(e, 7);
  EXPECT_EQ(f, 9);
}

TEST(FreeformReader, RealsTakeDecimalAndExponentForms) {
  RecordReader in("t", "3 -2.5 .5 1.5E1 1.5D1 2d-3 +7. 1.0e+2\n");
  double v[8] = {};
  ASSERT_TRUE(in.read({Item::real(v[0]), Item::real(v[1]), Item::real(v[2]), Item::real(v[3]), Item::real(v[4]),
                       Item::real(v[5]), Item::real(v[6]), Item::real(v[7])})
                  .ok());
  const double want[8] = {3, -2.5, 0.5, 15, 15, 0.002, 7, 100};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(v[i], want[i]) << i;
}

TEST(FreeformReader, UnreadableValuesFailAndNameTheText) {
  for (const char* text : {"12abc", "3.5", "'7'", "x", "1e", "--1", "99999999999"}) {
    RecordReader in("t", text);
    int v = 0;
    ReadResult r = in.read({Item::integer(v)});
    EXPECT_EQ(r.status, ReadResult::kBadValue) << text;
    EXPECT_EQ(r.line, 1);
  }
  for (const char* text : {"abc", "1.2.3", "e5", "1.5E1x"}) {
    RecordReader in("t", text);
    double v = 0;
    EXPECT_EQ(in.read({Item::real(v)}).status, ReadResult::kBadValue) << text;
  }
  RecordReader in("file.in", "\n\n12abc\n");
  int v = 0;
  try {
    in.readOrThrow({Item::integer(v)});
    FAIL();
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), "file \"file.in\", line 3: unreadable value \"12abc\" (item 1)");
  }
}

TEST(FreeformReader, TextValuesBareOrQuoted) {
  RecordReader in("t", "'proteins.list' real\n\"/data/x y\",'it''s'\nbare, next\n");
  std::string a, b;
  ASSERT_TRUE(in.read({Item::text(a, 20), Item::text(b, 6)}).ok());
  EXPECT_EQ(a, "proteins.list       ");
  EXPECT_EQ(b, "real  ");
  ASSERT_TRUE(in.read({Item::text(a, 9), Item::text(b, 6)}).ok());
  EXPECT_EQ(a, "/data/x y");
  EXPECT_EQ(b, "it's  ");
  char c = ' ';
  ASSERT_TRUE(in.read({Item::letter(c)}).ok());
  EXPECT_EQ(c, 'b');
}

TEST(FreeformReader, ASlashEndsTheReadAndLeavesTheRestUnfilled) {
  RecordReader in("t", "/data/x\n5 / 6\n7\n");
  std::string a = "keep";
  ASSERT_TRUE(in.read({Item::text(a, 10)}).ok());
  EXPECT_EQ(a, "keep");
  int x = 0, y = -1;
  ASSERT_TRUE(in.read({Item::integer(x), Item::integer(y)}).ok());
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, -1);
  ASSERT_TRUE(in.read({Item::integer(x)}).ok());
  EXPECT_EQ(x, 7);
}

TEST(FreeformReader, EndOfFileBeforeAllItemsAreFilled) {
  RecordReader in("t", "1\n");
  int a = 0, b = 42;
  ReadResult r = in.read({Item::integer(a), Item::integer(b)});
  EXPECT_EQ(r.status, ReadResult::kEndOfFile);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 42);
  RecordReader empty("t", "");
  EXPECT_EQ(empty.read({Item::integer(a)}).status, ReadResult::kEndOfFile);
}

TEST(FreeformReader, ARealThatIsNotFiniteFailsTheReadAndKeepsTheOldValue) {
  for (const char* text : {"NaN", "Infinity", "-inf", "1e400", "-1.5D999"}) {
    RecordReader in("t", std::string("2.5 ") + text + "\n");
    double a = 0, b = 7;
    const ReadResult r = in.read({Item::real(a), Item::real(b)});
    EXPECT_EQ(r.status, ReadResult::kNotFinite) << text;
    EXPECT_EQ(r.item, 2u) << text;
    EXPECT_EQ(r.found, text);
    EXPECT_EQ(b, 7.0) << text;
  }
  RecordReader tiny("t", "1e-400\n");  // underflow is a finite zero
  double z = 1;
  EXPECT_TRUE(tiny.read({Item::real(z)}).ok());
  EXPECT_EQ(z, 0.0);
}

TEST(WholeLineRead, KeepsTheFirstCharactersPaddedAndCountsALastLineWithoutEnd) {
  RecordReader in("t", "abc\r\n\n" + std::string(130, 'x') + "\nlast");
  std::string line;
  ASSERT_TRUE(in.readLine(line, 5));
  EXPECT_EQ(line, "abc  ");
  ASSERT_TRUE(in.readLine(line, 5));
  EXPECT_EQ(line, "     ");
  ASSERT_TRUE(in.readLine(line, 120));
  EXPECT_EQ(line, std::string(120, 'x'));
  ASSERT_TRUE(in.readLine(line, 6));
  EXPECT_EQ(line, "last  ");
  EXPECT_FALSE(in.readLine(line, 6));
}

TEST(RecordReaderOpen, AMissingFileReadsAsEmptyAndIsNotCreated) {
  const std::string path = testing::TempDir() + "/kelvor-no-such-file";
  std::remove(path.c_str());
  RecordReader in = RecordReader::open(path);
  EXPECT_TRUE(in.missing());
  EXPECT_TRUE(in.atEnd());
  EXPECT_NE(std::fopen(path.c_str(), "r") != nullptr, true);
}

}  // namespace
}  // namespace kelvor
