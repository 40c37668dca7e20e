#include "run/run_identity.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "config/settings_table.h"
#include "run/checkpoint.h"
#include "ground/checksum.h"
#include "ground/errors.h"
#include "ground/names.h"

namespace kelvor {
namespace {

// FNV-1a taking a whole 64-bit word per step: the data set is large, its hash must stay cheap.
std::uint64_t mixWord(std::uint64_t hash, std::uint64_t word) { return (hash ^ word) * kFnvPrime; }

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
  for (const SettingField& f : kSettingFields) {
    const std::string what = std::string("the ") + f.name + " (line " + std::to_string(f.line) + ") is ";
    const std::string used = ", the checkpoint's run used ";
    switch (f.kind) {
      case SettingField::kInteger:
        if (was.*f.integer != now.*f.integer)
          return what + std::to_string(now.*f.integer) + used + std::to_string(was.*f.integer);
        break;
      case SettingField::kReal:
        if (std::bit_cast<std::uint64_t>(was.*f.real) != std::bit_cast<std::uint64_t>(now.*f.real))
          return what + show(now.*f.real) + used + show(was.*f.real);
        break;
      case SettingField::kText:
        if (nameOf(was.*f.text) != nameOf(now.*f.text))
          return what + "\"" + std::string(nameOf(now.*f.text)) + "\"" + used + "\"" +
                 std::string(nameOf(was.*f.text)) + "\"";
        break;
    }
  }
  return "";
}

}  // namespace kelvor
