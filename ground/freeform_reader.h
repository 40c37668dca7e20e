// The free-form input record.
//
// A read statement starts at the beginning of the next line not yet read and takes as many
// values as it has items, going on over further lines as needed; the rest of the last line it
// used is skipped. Values are separated by blanks, a comma (blanks around it allowed) or line
// ends; lines holding no value are passed over. Two commas in a row, or a comma before the first
// value, give a null value: that item keeps what it held. A slash outside quotes ends the read;
// the items not yet filled keep their values. Text values are bare (ending at a blank, comma,
// slash or line end) or enclosed in apostrophes or quotation marks (a doubled delimiter stands
// for itself). Reals take the forms 12, -1.5, .5, 1.5E1, 1.5D1 and 1.5d-3; a real that is not a
// finite number (NaN, Inf, or one that overflows a double, such as 1E400) fails the read.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor {

// One item of a read statement: where its value goes and what kind of value it takes.
struct Item {
  enum Kind { kInteger, kReal, kText, kLetter, kSkip };
  Kind kind;
  void* target;
  std::size_t width;  // text items: the field length (cut or blank-padded)

  static Item integer(int& v) { return {kInteger, &v, 0}; }
  static Item real(double& v) { return {kReal, &v, 0}; }
  static Item text(std::string& v, std::size_t width) { return {kText, &v, width}; }
  static Item letter(char& v) { return {kLetter, &v, 0}; }
  static Item skip() { return {kSkip, nullptr, 0}; }  // any value, thrown away
};

// Outcome of one read statement.
struct ReadResult {
  enum Status { kOk, kEndOfFile, kBadValue, kNotFinite };
  Status status = kOk;
  long line = 0;         // line of the failure (1-based), or of the last line used
  std::size_t item = 0;  // 1-based item that failed
  std::string found;     // the text that did not read as its item's kind
  bool ok() const { return status == kOk; }
  // "end of file" / "unreadable value \"12abc\" (item 1)" / "value \"nan\" is not a finite number (item 3)"
  std::string describe() const;
};

// Parses one value token as a number; true on success.
bool parseInteger(std::string_view token, int& value);
bool parseReal(std::string_view token, double& value);

// Limits of a file read whole: no input of ours comes near them.
constexpr long long kMaxFileBytes = 1LL << 30;
constexpr std::size_t kMaxLineBytes = 1 << 20;

// Reads a whole file. A missing file gives nothing; a file that cannot be read, is not a regular
// file (/dev/null reads as empty), is larger than kMaxFileBytes or holds a line longer than
// kMaxLineBytes throws FileError. Opening never waits: a FIFO is refused at once.
std::optional<std::string> loadFile(const std::string& path);
// The same without the line limit, for files that are not text (a checkpoint).
std::optional<std::string> loadBytes(const std::string& path);

// A text file held in memory, read record by record.
class RecordReader {
 public:
  RecordReader(std::string name, std::string_view content);

  // Loads a file with loadFile. A missing file behaves as an empty one (missing() tells). The
  // file is never created or changed.
  static RecordReader open(const std::string& path);

  const std::string& name() const { return name_; }
  bool missing() const { return missing_; }
  long lineCount() const { return static_cast<long>(lines_.size()); }
  long nextLine() const { return static_cast<long>(next_) + 1; }  // 1-based
  bool atEnd() const { return next_ >= lines_.size(); }
  // The line (1-based) where the next read finds its first value: the next line not yet read
  // that holds more than blanks; 0 when there is none.
  long lineOfNextValue() const;

  // One read statement. Items left unfilled by a failure keep the values they had.
  ReadResult read(const Item* items, std::size_t count);
  ReadResult read(std::initializer_list<Item> items) { return read(items.begin(), items.size()); }
  // The same, throwing FileError on failure.
  void readOrThrow(const Item* items, std::size_t count);
  void readOrThrow(std::initializer_list<Item> items) { readOrThrow(items.begin(), items.size()); }

  // Whole-line read: the next line's first `width` characters, blank-padded. False at end.
  bool readLine(std::string& out, std::size_t width);
  // Whole-line read of the next line as it stands. False at end.
  bool readLine(std::string& out);
  // Skips one line (a read without items); throws FileError at end of file.
  void skipLineOrThrow(const std::string& why);

 private:
  std::string name_;
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
  bool missing_ = false;
};

}  // namespace kelvor
