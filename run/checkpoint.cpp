#include "run/checkpoint.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <span>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "config/settings_table.h"
#include "network/weight_arrays.h"
#include "ground/errors.h"
#include "ground/freeform_reader.h"
#include "ground/names.h"
#include "ground/output.h"

namespace kelvor {
namespace {

constexpr char kMagic[8] = {'K', 'E', 'L', 'V', 'O', 'R', 'C', 'P'};
constexpr std::uint32_t kVersion = 2;
constexpr std::size_t kHeader = 8 + 4 + 8;

class Encoder {
 public:
  void u64(std::uint64_t v) {
    char b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xff);
    out_.append(b, 8);
  }
  void u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out_ += static_cast<char>((v >> (8 * i)) & 0xff);
  }
  void i32(int v) { u32(static_cast<std::uint32_t>(v)); }
  void real(double v) { u64(std::bit_cast<std::uint64_t>(v)); }
  void text(const std::string& s) {
    u64(s.size());
    out_ += s;
  }
  void reals(std::span<const double> v) {
    u64(v.size());
    out_.reserve(out_.size() + 8 * v.size());
    for (double x : v) real(x);
  }
  std::string& str() { return out_; }

 private:
  std::string out_;
};

class Decoder {
 public:
  Decoder(const std::string& bytes, std::size_t from, std::size_t to, const std::string& path)
      : b_(bytes), at_(from), end_(to), path_(path) {}
  std::uint64_t u64() {
    need(8);
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(static_cast<unsigned char>(b_[at_ + i])) << (8 * i);
    at_ += 8;
    return v;
  }
  std::uint32_t u32() {
    need(4);
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(b_[at_ + i])) << (8 * i);
    at_ += 4;
    return v;
  }
  int i32() { return static_cast<int>(u32()); }
  double real() { return std::bit_cast<double>(u64()); }
  std::string text(std::uint64_t limit = kMaxLineBytes) {
    const std::uint64_t n = count(limit, "a text's length");
    need(n);
    std::string s = b_.substr(at_, n);
    at_ += n;
    return s;
  }
  void reals(std::span<double> into, const char* name) {
    if (u64() != into.size()) damaged(std::string("the array ") + name + " has the wrong size");
    for (double& x : into) x = real();
  }
  // A 32-bit integer from `lo` to `hi`.
  int i32(int lo, int hi, const char* what) {
    const int v = i32();
    if (v < lo || v > hi) damaged(std::string(what) + " " + std::to_string(v) + " out of range");
    return v;
  }
  // A count or length of at most `hi`.
  std::uint64_t count(std::uint64_t hi, const char* what) {
    const std::uint64_t v = u64();
    if (v > hi) damaged(std::string(what) + " " + std::to_string(v) + " out of range");
    return v;
  }
  bool flag(const char* what) { return i32(0, 1, what) == 1; }
  void finish() {
    if (at_ != end_) damaged("bytes after its last entry");
  }
  [[noreturn]] void damaged(const std::string& why) const {
    throw ResumeRefusal("cannot resume: the checkpoint \"" + path_ + "\" is damaged (" + why +
                        "); nothing was changed");
  }

 private:
  void need(std::uint64_t n) {
    if (n > end_ - at_) damaged("it ends early");
  }
  const std::string& b_;
  std::size_t at_, end_;
  const std::string& path_;
};

void encodeSettings(Encoder& e, const Settings& s) {
  for (const SettingField& f : kSettingFields) {
    switch (f.kind) {
      case SettingField::kInteger:
        e.i32(s.*f.integer);
        break;
      case SettingField::kReal:
        e.real(s.*f.real);
        break;
      case SettingField::kText:
        e.text(s.*f.text);
        break;
    }
  }
}

Settings decodeSettings(Decoder& d) {
  Settings s;
  for (const SettingField& f : kSettingFields) {
    switch (f.kind) {
      case SettingField::kInteger:
        s.*f.integer = d.i32();
        break;
      case SettingField::kReal:
        s.*f.real = d.real();
        if (!std::isfinite(s.*f.real)) d.damaged(std::string("the ") + f.name + " is not a finite number");
        break;
      case SettingField::kText:
        s.*f.text = d.text(f.width);
        if (f.isName && nameLengthProblem(s.*f.text)) d.damaged(std::string("the ") + f.name + " is too long");
        break;
    }
  }
  return s;
}

void encodeState(Encoder& e, const FileState& f) {
  e.i32(f.present ? 1 : 0);
  e.u64(f.hash);
}

FileState decodeState(Decoder& d) {
  FileState f;
  f.present = d.flag("a weight file's presence");
  f.hash = d.u64();
  return f;
}

}  // namespace

FileState fileState(const std::string& path) {
  const std::optional<std::string> bytes = loadBytes(path);
  if (!bytes) return {};
  return {true, fnv1a(bytes->data(), bytes->size())};
}

void takeNetwork(Checkpoint& cp, const Network& net) { copyWeightArrays(net, cp.net); }

void giveNetwork(const Checkpoint& cp, Network& net) { copyWeightArrays(cp.net, net); }

std::string encodeCheckpoint(const Checkpoint& cp) {
  Encoder e;
  e.i32(cp.seedOffset);
  for (int v : cp.time) e.i32(v);
  e.i32(cp.generator);
  encodeSettings(e, cp.settings);
  e.u64(cp.proteinsHash);
  e.u64(cp.dataHash);
  e.i32(cp.stage == Stage::kFirst ? 1 : 2);
  e.i32(cp.phase.epoch);
  e.real(cp.phase.best);
  e.i32(cp.phase.stale);
  e.i32(cp.phase.bestEpoch);
  e.i32(cp.phase.stopped ? 1 : 0);
  e.u64(cp.stdoutLines.size());
  for (const auto& line : cp.stdoutLines) e.text(line);
  e.u64(static_cast<std::uint64_t>(cp.reportLength));
  e.u64(cp.reportHash);
  forEachWeightArray(cp.net, [&](const char*, auto a) { e.reals(a); });
  e.u64(cp.weightFiles.size());
  for (const WeightFileRecord& w : cp.weightFiles) {
    e.text(w.name);
    encodeState(e, w.now);
    encodeState(e, w.after);
  }
  const std::string payload = std::move(e.str());

  Encoder file;
  file.str().append(kMagic, sizeof kMagic);
  file.u32(kVersion);
  file.u64(payload.size());
  file.str() += payload;
  file.u64(fnv1a(payload.data(), payload.size()));
  return std::move(file.str());
}

Checkpoint decodeCheckpoint(const std::string& bytes, const std::string& path) {
  Decoder head(bytes, 0, bytes.size(), path);
  if (bytes.size() < kHeader + 8 || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
    head.damaged("not a kelvor checkpoint");
  Decoder h(bytes, sizeof kMagic, kHeader, path);
  const std::uint32_t version = h.u32();
  if (version != kVersion)
    throw ResumeRefusal("cannot resume: the checkpoint \"" + path + "\" has version " + std::to_string(version) +
                        "; this kelvor reads version " + std::to_string(kVersion) + "; nothing was changed");
  const std::uint64_t length = h.u64();
  if (length != bytes.size() - kHeader - 8) head.damaged("its length does not match its size");
  Decoder sum(bytes, kHeader + length, bytes.size(), path);
  if (sum.u64() != fnv1a(bytes.data() + kHeader, length)) head.damaged("checksum mismatch");

  // Every field is checked for its range as well: a checksum only says that the bytes are the
  // ones written, not that a writer wrote them right.
  Decoder d(bytes, kHeader, kHeader + length, path);
  Checkpoint cp;
  cp.seedOffset = d.i32();
  cp.time[0] = d.i32(0, 23, "the hour");
  cp.time[1] = d.i32(0, 59, "the minute");
  cp.time[2] = d.i32(0, 59, "the second");
  cp.generator = d.i32();
  cp.settings = decodeSettings(d);
  cp.proteinsHash = d.u64();
  cp.dataHash = d.u64();
  cp.stage = d.i32(1, 2, "the phase") == 1 ? Stage::kFirst : Stage::kFilter;
  PhaseState& p = cp.phase;
  p.epoch =
      d.i32(1, cp.settings.epochLimit == INT_MAX ? INT_MAX : std::max(cp.settings.epochLimit, 0) + 1, "the epoch");
  p.best = d.real();
  p.stale = d.i32(0, p.epoch, "the count of epochs without improvement");
  p.bestEpoch = d.i32(0, p.epoch - 1, "the kept epoch");
  p.stopped = d.flag("the early stop");
  if (p.stopped && p.epoch > cp.settings.epochLimit) d.damaged("an early stop after the last epoch");
  const bool noneKept = p.bestEpoch == 0 && std::bit_cast<std::uint64_t>(p.best) == std::bit_cast<std::uint64_t>(-20.0);
  if (!noneKept && !(p.bestEpoch > 0 && p.best >= 0.0 && p.best <= 1.0)) d.damaged("a best score out of range");
  const std::uint64_t lines = d.count(length / 8, "the count of standard output lines");
  for (std::uint64_t i = 0; i < lines; ++i) cp.stdoutLines.push_back(d.text());
  cp.reportLength = static_cast<long long>(d.count(static_cast<std::uint64_t>(kMaxFileBytes), "the report's length"));
  cp.reportHash = d.u64();
  forEachWeightArray(cp.net, [&](const char* name, auto a) { d.reals(a, name); });
  const std::uint64_t files = d.count(64, "the count of weight files");
  for (std::uint64_t i = 0; i < files; ++i) {
    WeightFileRecord w;
    w.name = d.text(4096);
    w.now = decodeState(d);
    w.after = decodeState(d);
    cp.weightFiles.push_back(std::move(w));
  }
  d.finish();
  return cp;
}

void writeCheckpoint(const Checkpoint& cp, const std::string& name) { replaceFiles({{name, encodeCheckpoint(cp)}}); }

Checkpoint readCheckpoint(const std::string& name) {
  const std::string path = currentPath(name, name);
  std::optional<std::string> bytes;
  try {
    bytes = loadBytes(path);
  } catch (const FileError& e) {
    throw ResumeRefusal("cannot resume: the checkpoint \"" + path + "\" is refused (" + e.reason() +
                        "); nothing was changed");
  }
  if (!bytes)
    throw ResumeRefusal("cannot resume: no checkpoint \"" + name +
                        "\" in the working directory, nothing to resume (a run that completed removes its checkpoint)");
  return decodeCheckpoint(*bytes, path);
}

void removeCheckpoint(const std::string& name) {
  for (const std::string& path : {name + ".commit", name, name + ".part"})
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
      throw FileError(path, 0, std::string("cannot remove: ") + std::strerror(errno));
}

}  // namespace kelvor
