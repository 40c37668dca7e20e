#include "run/checkpoint.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include "run/text/errors.h"
#include "run/text/output.h"

namespace kelvor {
namespace {

constexpr char kMagic[8] = {'K', 'E', 'L', 'V', 'O', 'R', 'C', 'P'};
constexpr std::uint32_t kVersion = 1;
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
  void reals(const std::vector<double>& v) {
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
  std::string text() {
    const std::uint64_t n = u64();
    need(n);
    std::string s = b_.substr(at_, n);
    at_ += n;
    return s;
  }
  std::vector<double> reals(std::size_t expected) {
    if (u64() != expected) damaged("an array of the wrong size");
    std::vector<double> v(expected);
    for (double& x : v) x = real();
    return v;
  }
  void finish() {
    if (at_ != end_) damaged("bytes after its last entry");
  }
  [[noreturn]] void damaged(const std::string& why) const {
    throw ResumeRefusal("cannot resume: the checkpoint \"" + path_ + "\" is damaged (" + why + "); nothing was changed");
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
  e.i32(s.epochLimit);
  e.i32(s.requested);
  e.i32(s.unused);
  e.real(s.rate);
  e.real(s.momentum);
  e.real(s.gain);
  e.real(s.dcay);
  e.i32(s.fold);
  e.real(s.testFraction);
  e.text(s.listName);
  e.text(s.word);
}

Settings decodeSettings(Decoder& d) {
  Settings s;
  s.epochLimit = d.i32();
  s.requested = d.i32();
  s.unused = d.i32();
  s.rate = d.real();
  s.momentum = d.real();
  s.gain = d.real();
  s.dcay = d.real();
  s.fold = d.i32();
  s.testFraction = d.real();
  s.listName = d.text();
  s.word = d.text();
  return s;
}

template <typename Array>
std::vector<double> copyOf(const Array& a) {
  return std::vector<double>(a.begin(), a.end());
}

template <typename Array>
void copyInto(const std::vector<double>& v, Array& a) {
  std::copy(v.begin(), v.end(), a.begin());
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

std::uint64_t fnv1a(const void* data, std::size_t size, std::uint64_t hash) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= p[i];
    hash *= 1099511628211ULL;
  }
  return hash;
}

void takeNetwork(Checkpoint& cp, const Network& net) {
  cp.wei1 = net.wei1;
  cp.wei2 = net.wei2;
  cp.owei1 = net.owei1;
  cp.owei2 = net.owei2;
  cp.pwei = copyOf(net.pwei);
  cp.fwei1 = copyOf(net.fwei1);
  cp.fwei2 = copyOf(net.fwei2);
  cp.ofwei1 = copyOf(net.ofwei1);
  cp.ofwei2 = copyOf(net.ofwei2);
}

void giveNetwork(const Checkpoint& cp, Network& net) {
  net.wei1 = cp.wei1;
  net.wei2 = cp.wei2;
  net.owei1 = cp.owei1;
  net.owei2 = cp.owei2;
  copyInto(cp.pwei, net.pwei);
  copyInto(cp.fwei1, net.fwei1);
  copyInto(cp.fwei2, net.fwei2);
  copyInto(cp.ofwei1, net.ofwei1);
  copyInto(cp.ofwei2, net.ofwei2);
}

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
  for (const auto* a : {&cp.wei1, &cp.wei2, &cp.owei1, &cp.owei2, &cp.pwei, &cp.fwei1, &cp.fwei2, &cp.ofwei1, &cp.ofwei2})
    e.reals(*a);
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

  Decoder d(bytes, kHeader, kHeader + length, path);
  Checkpoint cp;
  cp.seedOffset = d.i32();
  for (int& v : cp.time) v = d.i32();
  cp.generator = d.i32();
  cp.settings = decodeSettings(d);
  cp.proteinsHash = d.u64();
  cp.dataHash = d.u64();
  const int stage = d.i32();
  if (stage != 1 && stage != 2) d.damaged("an unknown phase");
  cp.stage = stage == 1 ? Stage::kFirst : Stage::kFilter;
  cp.phase.epoch = d.i32();
  cp.phase.best = d.real();
  cp.phase.stale = d.i32();
  cp.phase.bestEpoch = d.i32();
  cp.phase.stopped = d.i32() != 0;
  const std::uint64_t lines = d.u64();
  for (std::uint64_t i = 0; i < lines; ++i) cp.stdoutLines.push_back(d.text());
  cp.reportLength = static_cast<long long>(d.u64());
  cp.reportHash = d.u64();
  const Network shape;
  cp.wei1 = d.reals(shape.wei1.size());
  cp.wei2 = d.reals(shape.wei2.size());
  cp.owei1 = d.reals(shape.owei1.size());
  cp.owei2 = d.reals(shape.owei2.size());
  cp.pwei = d.reals(shape.pwei.size());
  cp.fwei1 = d.reals(shape.fwei1.size());
  cp.fwei2 = d.reals(shape.fwei2.size());
  cp.ofwei1 = d.reals(shape.ofwei1.size());
  cp.ofwei2 = d.reals(shape.ofwei2.size());
  d.finish();
  return cp;
}

void writeCheckpoint(const Checkpoint& cp) { replaceFiles({{kCheckpointName, encodeCheckpoint(cp)}}); }

Checkpoint readCheckpoint() {
  const std::string path = currentPath(kCheckpointName, kCheckpointName);
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (!exists(path))
      throw ResumeRefusal(std::string("cannot resume: no checkpoint \"") + kCheckpointName +
                          "\" in the working directory, nothing to resume (a run that completed removes its checkpoint)");
    throw FileError(path, 0, std::string("cannot read: ") + std::strerror(errno));
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw FileError(path, 0, "cannot read");
  return decodeCheckpoint(bytes, path);
}

void removeCheckpoint() {
  const std::string name = kCheckpointName;
  for (const std::string& path : {name + ".commit", name, name + ".part"})
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) throw FileError(path, 0, std::string("cannot remove: ") + std::strerror(errno));
}

}  // namespace kelvor
