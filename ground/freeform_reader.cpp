#include "ground/freeform_reader.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <unistd.h>
#include <sys/stat.h>

#include "ground/activity.h"
#include "ground/errors.h"

namespace kelvor {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }
bool endsBare(char c) { return isBlank(c) || c == ',' || c == '/'; }

std::string padded(std::string_view s, std::size_t width) {
  std::string out(s.substr(0, width));
  out.resize(width, ' ');
  return out;
}

// A scanned value: its text, and whether it was quoted.
struct Token {
  std::string text;
  bool quoted = false;
};

}  // namespace

std::string ReadResult::describe() const {
  switch (status) {
    case kOk:
      return "ok";
    case kEndOfFile:
      return "end of file";
    case kBadValue:
      return "unreadable value \"" + found + "\" (item " + std::to_string(item) + ")";
    case kNotFinite:
      return "value \"" + found + "\" is not a finite number (item " + std::to_string(item) + ")";
  }
  return "?";
}

bool parseInteger(std::string_view t, int& value) {
  std::size_t i = 0;
  bool neg = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
  if (i == t.size()) return false;
  long long v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    v = v * 10 + (t[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (neg) v = -v;
  if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min()) return false;
  value = static_cast<int>(v);
  return true;
}

bool parseReal(std::string_view t, double& value) {
  std::string s;
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) s += t[i++];
  std::string rest(t.substr(i));
  for (auto& c : rest) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (rest == "nan" || rest == "inf" || rest == "infinity") {
    value = rest == "nan" ? std::numeric_limits<double>::quiet_NaN()
                          : (s == "-" ? -1.0 : 1.0) * std::numeric_limits<double>::infinity();
    return true;
  }
  std::size_t digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') s += t[i++], ++digits;
  if (i < t.size() && t[i] == '.') {
    s += t[i++];
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') s += t[i++], ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size()) {
    char c = t[i];
    if (c == 'e' || c == 'E' || c == 'd' || c == 'D' || c == 'q' || c == 'Q')
      ++i;
    else if (c != '+' && c != '-')
      return false;
    s += 'e';
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) s += t[i++];
    std::size_t expDigits = 0;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') s += t[i++], ++expDigits;
    if (expDigits == 0 || i != t.size()) return false;
  }
  errno = 0;
  value = std::strtod(s.c_str(), nullptr);  // out-of-range values become +-inf or 0
  return true;
}

RecordReader::RecordReader(std::string name, std::string_view content) : name_(std::move(name)) {
  std::size_t start = 0;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines_.emplace_back(line);
    start = end + 1;
  }
}

std::optional<std::string> loadBytes(const std::string& path) {
  // The system would take a name with a NUL byte for its part before the NUL: another file.
  if (path.find('\0') != std::string::npos) {
    std::string shown;
    for (char c : path) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
    throw FileError(shown, 0, "cannot open: the name holds a NUL byte");
  }
  Activity reading("reading \"" + path + "\"");
  // Opened without blocking, so that a FIFO never makes the run wait; only a regular file (or
  // /dev/null, which reads as empty) is read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    throw FileError(path, 0, std::string("cannot open: ") + std::strerror(errno));
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) throw FileError(path, 0, std::string("cannot open: ") + std::strerror(errno));
  if (S_ISDIR(st.st_mode)) throw FileError(path, 0, "cannot open: is a directory");
  if (!S_ISREG(st.st_mode)) {
    struct stat null {};
    if (S_ISCHR(st.st_mode) && ::stat("/dev/null", &null) == 0 && null.st_rdev == st.st_rdev) return std::string();
    throw FileError(path, 0, "cannot read: not a regular file (a FIFO, socket or device)");
  }
  if (st.st_size > kMaxFileBytes)
    throw FileError(path, 0,
                    "cannot read: the file holds " + std::to_string(st.st_size) + " bytes; allowed: at most " +
                        std::to_string(kMaxFileBytes));
  std::string content;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError(path, 0, std::string("read error: ") + std::strerror(errno));
    }
    if (n == 0) break;
    content.append(buf, static_cast<std::size_t>(n));
    if (content.size() > static_cast<std::size_t>(kMaxFileBytes))
      throw FileError(path, 0, "cannot read: the file grows past " + std::to_string(kMaxFileBytes) + " bytes");
  }
  return content;
}

std::optional<std::string> loadFile(const std::string& path) {
  std::optional<std::string> loaded = loadBytes(path);
  if (!loaded) return loaded;
  const std::string& content = *loaded;
  // A line without end (a file of zeros, one gigantic line) is no record of any of our formats.
  std::size_t start = 0;
  long lineNo = 1;
  while (start < content.size()) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    if (end - start > kMaxLineBytes)
      throw FileError(
          path, lineNo,
          "line of " + std::to_string(end - start) + " bytes; allowed: at most " + std::to_string(kMaxLineBytes));
    start = end + 1;
    ++lineNo;
  }
  return loaded;
}

RecordReader RecordReader::open(const std::string& path) {
  std::optional<std::string> content = loadFile(path);
  if (!content) {
    RecordReader r(path, "");
    r.missing_ = true;
    return r;
  }
  return RecordReader(path, *content);
}

ReadResult RecordReader::read(const Item* items, std::size_t count) {
  ReadResult result;
  std::size_t line = next_;
  std::size_t pos = 0;
  std::size_t itemNo = 0;

  for (std::size_t n = 0; n < count; ++n) {
    const Item& item = items[n];
    ++itemNo;
    // Seek the next value.
    bool isNull = false;
    bool slash = false;
    for (;;) {
      if (line >= lines_.size()) {
        result.status = ReadResult::kEndOfFile;
        result.line = static_cast<long>(lines_.size());
        result.item = itemNo;
        next_ = lines_.size();
        return result;
      }
      const std::string& s = lines_[line];
      while (pos < s.size() && isBlank(s[pos])) ++pos;
      if (pos >= s.size()) {
        ++line;
        pos = 0;
        continue;
      }
      if (s[pos] == ',') {  // a separator with no value before it: a null value
        isNull = true;
        ++pos;
        break;
      }
      if (s[pos] == '/') slash = true;
      break;
    }
    if (slash) break;
    if (isNull) continue;

    // Scan the value.
    const std::string& s = lines_[line];
    Token tok;
    if (s[pos] == '\'' || s[pos] == '"') {
      char q = s[pos++];
      tok.quoted = true;
      while (pos < s.size()) {
        if (s[pos] == q) {
          if (pos + 1 < s.size() && s[pos + 1] == q) {
            tok.text += q;
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        tok.text += s[pos++];
      }
    } else {
      while (pos < s.size() && !endsBare(s[pos])) tok.text += s[pos++];
    }
    // Consume the separator after it: blanks and at most one comma.
    while (pos < s.size() && isBlank(s[pos])) ++pos;
    if (pos < s.size() && s[pos] == ',') ++pos;

    bool good = true;
    ReadResult::Status failure = ReadResult::kBadValue;
    switch (item.kind) {
      case Item::kInteger:
        good = !tok.quoted && parseInteger(tok.text, *static_cast<int*>(item.target));
        break;
      case Item::kReal: {
        double v = 0.0;
        good = !tok.quoted && parseReal(tok.text, v);
        if (good && !std::isfinite(v)) good = false, failure = ReadResult::kNotFinite;
        if (good) *static_cast<double*>(item.target) = v;
        break;
      }
      case Item::kText:
        *static_cast<std::string*>(item.target) = padded(tok.text, item.width);
        break;
      case Item::kLetter:
        *static_cast<char*>(item.target) = tok.text.empty() ? ' ' : tok.text[0];
        break;
      case Item::kSkip:
        break;
    }
    if (!good) {
      result.status = failure;
      result.line = static_cast<long>(line) + 1;
      result.item = itemNo;
      result.found = tok.text;
      next_ = line + 1;
      return result;
    }
  }
  result.line = static_cast<long>(line) + 1;
  next_ = line + 1;  // the rest of the last line used is skipped
  return result;
}

void RecordReader::readOrThrow(const Item* items, std::size_t count) {
  ReadResult r = read(items, count);
  if (!r.ok()) {
    std::string what = r.describe();
    if (r.status == ReadResult::kEndOfFile)
      what = missing_         ? "file is missing (end of file at once)"
             : lines_.empty() ? "end of file (the file is empty)"
                              : "end of file after line " + std::to_string(lines_.size());
    throw FileError(name_, r.status == ReadResult::kEndOfFile ? 0 : r.line, what);
  }
}

long RecordReader::lineOfNextValue() const {
  for (std::size_t i = next_; i < lines_.size(); ++i)
    for (char c : lines_[i])
      if (!isBlank(c)) return static_cast<long>(i) + 1;
  return 0;
}

bool RecordReader::readLine(std::string& out) {
  if (next_ >= lines_.size()) return false;
  out = lines_[next_++];
  return true;
}

bool RecordReader::readLine(std::string& out, std::size_t width) {
  if (next_ >= lines_.size()) return false;
  out = padded(lines_[next_++], width);
  return true;
}

void RecordReader::skipLineOrThrow(const std::string& why) {
  if (next_ >= lines_.size())
    throw FileError(name_, 0, (missing_ ? "file is missing, cannot skip " : "end of file, cannot skip ") + why);
  ++next_;
}

}  // namespace kelvor
