// Fuzz target: the free-form record reader.
//
// Input: byte 0 gives the length n of a program (n % 32), the next n bytes are the program, the
// rest is the text. The program's statements run in turn, over and over, until the text is used
// up: read statements with up to four items of mixed kinds, whole-line reads and line skips.
// Besides the sanitizers' checks, every statement must move on by at least one line, text items
// must come back at their field length, and every number read must survive being written in its
// free-form layout and read again (the round trip of the weight files).
#include <cmath>
#include <cstdint>
#include <string>

#include "ground/errors.h"
#include "ground/freeform_reader.h"
#include "ground/freeform_writer.h"
#include "tests/fuzz/fuzz_common.h"

namespace {

using kelvor::Item;
using kelvor::ReadResult;
using kelvor::RecordReader;

constexpr std::size_t kWidths[4] = {1, 6, 120, 7};

void checkRealRoundTrip(double v) {
  const std::string written = kelvor::formatReal(v);
  KELVOR_FUZZ_CHECK(written.size() == 24, written);
  std::string token = written.substr(written.find_first_not_of(' '));
  token = token.substr(0, token.find(' '));
  double back = 0.0;
  KELVOR_FUZZ_CHECK(kelvor::parseReal(token, back), written);
  if (std::isnan(v)) {
    KELVOR_FUZZ_CHECK(std::isnan(back), written);
  } else if (std::isinf(v)) {
    KELVOR_FUZZ_CHECK(back == v, written);
  } else {
    KELVOR_FUZZ_CHECK(std::fabs(back - v) <= 1e-14 * std::fabs(v), written);
  }
}

void checkIntegerRoundTrip(int v) {
  const std::string written = kelvor::formatInteger(v);
  KELVOR_FUZZ_CHECK(written.size() == 12, written);
  int back = 0;
  KELVOR_FUZZ_CHECK(kelvor::parseInteger(written.substr(written.find_first_not_of(' ')), back) && back == v, written);
}

void runStatement(RecordReader& in, std::uint8_t op, bool compare) {
  const long before = in.nextLine();
  const bool wasAtEnd = in.atEnd();
  if (op % 8 == 7) {
    std::string line;
    const std::size_t width = kWidths[(op >> 3) % 4];
    const bool got = in.readLine(line, width);
    KELVOR_FUZZ_CHECK(got != wasAtEnd, "whole-line read");
    if (got) KELVOR_FUZZ_CHECK(line.size() == width, line);
  } else if (op % 8 == 6) {
    try {
      in.skipLineOrThrow("a line");
      KELVOR_FUZZ_CHECK(!wasAtEnd, "skip past the end");
    } catch (const kelvor::FileError& e) {
      KELVOR_FUZZ_CHECK(wasAtEnd, e.what());
    }
  } else {
    // A read statement: 1 to 4 items, kinds in turn from the op byte.
    int ints[4] = {-7, -7, -7, -7};
    double reals[4] = {-7.5, -7.5, -7.5, -7.5};
    std::string texts[4];
    char letters[4] = {'?', '?', '?', '?'};
    Item items[4] = {Item::skip(), Item::skip(), Item::skip(), Item::skip()};
    const std::size_t count = 1 + (op >> 6);
    const std::size_t width = kWidths[(op >> 3) % 4];
    for (std::size_t i = 0; i < count; ++i) {
      switch ((op + i) % 5) {
        case 0:
          items[i] = Item::integer(ints[i]);
          break;
        case 1:
          items[i] = Item::real(reals[i]);
          break;
        case 2:
          texts[i] = "unset";
          items[i] = Item::text(texts[i], width);
          break;
        case 3:
          items[i] = Item::letter(letters[i]);
          break;
        default:
          items[i] = Item::skip();
          break;
      }
    }
    RecordReader copy = compare ? in : RecordReader("", "");
    ReadResult r = in.read(items, count);
    (void)r.describe();
    if (!r.ok()) KELVOR_FUZZ_CHECK(r.item >= 1 && r.item <= count, r.describe());
    if (r.status == ReadResult::kEndOfFile) KELVOR_FUZZ_CHECK(in.atEnd(), r.describe());
    for (std::size_t i = 0; i < count; ++i) {
      if (items[i].kind == Item::kText) KELVOR_FUZZ_CHECK(texts[i] == "unset" || texts[i].size() == width, texts[i]);
      if (items[i].kind == Item::kReal && reals[i] != -7.5) checkRealRoundTrip(reals[i]);
      if (items[i].kind == Item::kInteger && ints[i] != -7) checkIntegerRoundTrip(ints[i]);
    }
    if (r.ok()) KELVOR_FUZZ_CHECK(r.line >= before, r.describe());
    // The throwing form must agree with the plain one, run on a copy taken before the read.
    if (compare) {
      bool threw = false;
      try {
        copy.readOrThrow(items, count);
      } catch (const kelvor::FileError& e) {
        threw = true;
        KELVOR_FUZZ_CHECK(e.file() == in.name(), e.what());
      }
      KELVOR_FUZZ_CHECK(threw == !r.ok() && copy.nextLine() == in.nextLine(), r.describe());
    }
  }
  KELVOR_FUZZ_CHECK(wasAtEnd || in.nextLine() > before, "a statement that did not move on");
  KELVOR_FUZZ_CHECK(in.nextLine() <= in.lineCount() + 1, "past the last line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t n = std::min<std::size_t>(data[0] % 32, size - 1);
  const std::uint8_t* program = data + 1;
  const std::string_view text(reinterpret_cast<const char*>(data + 1 + n), size - 1 - n);
  RecordReader in("fuzz input", text);
  if (n == 0) {
    // No program: the statements of the weight files, then of the defaults file.
    static const std::uint8_t plain[] = {1, 0, 7, 2, 3};
    for (int i = 0; !in.atEnd() && i < 4096; ++i) runStatement(in, plain[i % sizeof plain], i < 64);
    return 0;
  }
  for (int i = 0; !in.atEnd() && i < 4096; ++i) runStatement(in, program[i % n], i < 64);
  return 0;
}
