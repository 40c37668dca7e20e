#include "run/run_identity.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "run/checkpoint.h"
#include "run/text/errors.h"

namespace kelvor {
namespace {

// FNV-1a taking a whole 64-bit word per step: the data set is large, its hash must stay cheap.
std::uint64_t mixWord(std::uint64_t hash, std::uint64_t word) { return (hash ^ word) * 1099511628211ULL; }

std::uint64_t mixInts(std::uint64_t hash, const std::vector<int>& v) {
  for (int x : v) hash = mixWord(hash, static_cast<std::uint32_t>(x));
  return hash;
}

// The shortest of 15 to 17 significant digits that reads back as v.
std::string show(double v) {
  char buf[40];
  for (int digits = 15; digits <= 17; ++digits) {
    std::snprintf(buf, sizeof buf, "%.*g", digits, v);
    if (std::strtod(buf, nullptr) == v) break;
  }
  return buf;
}

std::string trimmed(const std::string& s) { return s.substr(0, s.find_last_not_of(' ') + 1); }

}  // namespace

std::uint64_t proteinsHash(const DataStore& store, int listLines) {
  std::uint64_t h = mixWord(kFnvBasis, static_cast<std::uint32_t>(listLines));
  for (const auto& name : store.pname) h = fnv1a(name.data(), name.size(), mixWord(h, name.size()));
  return h;
}

std::uint64_t dataHash(const DataStore& store) {
  std::uint64_t h = kFnvBasis;
  for (int n : {store.ntrain, store.ntrval, store.nprot, store.ntatrain, store.ntatrval, store.nta})
    h = mixWord(h, static_cast<std::uint32_t>(n));
  for (double x : store.filin) h = mixWord(h, std::bit_cast<std::uint64_t>(x));
  h = mixInts(h, store.winlo);
  return mixInts(h, store.winhi);
}

ReportPrefix reportPrefix(const std::string& path, long long length) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError(path, 0, std::string("cannot read: ") + std::strerror(errno));
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw FileError(path, 0, "cannot read");
  if (length > static_cast<long long>(bytes.size())) return {-1, 0};
  if (length >= 0) bytes.resize(static_cast<std::size_t>(length));
  return {static_cast<long long>(bytes.size()), fnv1a(bytes.data(), bytes.size())};
}

std::string settingsChange(const Settings& was, const Settings& now) {
  auto integer = [](const char* what, int a, int b) {
    return a == b ? std::string() : std::string(what) + " is " + std::to_string(b) + ", the checkpoint's run used " + std::to_string(a);
  };
  auto real = [](const char* what, double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b)
               ? std::string()
               : std::string(what) + " is " + show(b) + ", the checkpoint's run used " + show(a);
  };
  auto text = [](const char* what, const std::string& a, const std::string& b) {
    return trimmed(a) == trimmed(b) ? std::string()
                                    : std::string(what) + " is \"" + trimmed(b) + "\", the checkpoint's run used \"" + trimmed(a) + "\"";
  };
  for (const std::string& change :
       {integer("the epoch limit (line 1)", was.epochLimit, now.epochLimit),
        integer("the requested protein count (line 2)", was.requested, now.requested),
        integer("the unused integer (line 3)", was.unused, now.unused),
        real("the learning rate (line 4)", was.rate, now.rate), real("the momentum (line 5)", was.momentum, now.momentum),
        real("the gain (line 6)", was.gain, now.gain), real("the attenuation scale (line 7)", was.dcay, now.dcay),
        integer("the fold number (line 8)", was.fold, now.fold),
        real("the test fraction (line 9)", was.testFraction, now.testFraction),
        text("the protein list name (line 10)", was.listName, now.listName),
        text("the word after the protein list name (line 10)", was.word, now.word)})
    if (!change.empty()) return change;
  return "";
}

}  // namespace kelvor
