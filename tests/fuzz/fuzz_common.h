// Helpers shared by the fuzz targets: a private scratch directory for targets that need real
// files, splitting one input into several file contents, and a failure that stops the fuzzer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor::fuzz {

// Stops the fuzzer with a message; libFuzzer keeps the input that led here.
[[noreturn]] inline void fail(const char* what, const std::string& detail = "") {
  std::fprintf(stderr, "fuzz check failed: %s %s\n", what, detail.c_str());
  std::abort();
}
#define KELVOR_FUZZ_CHECK(cond, detail)               \
  do {                                                \
    if (!(cond)) ::kelvor::fuzz::fail(#cond, detail); \
  } while (0)

// The input cut at NUL bytes: part i is the text between the i-th and (i+1)-th NUL.
inline std::vector<std::string> splitAtNul(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      parts.emplace_back();
    else
      parts.back() += static_cast<char>(data[i]);
  }
  return parts;
}

// A private scratch directory (in /dev/shm when there is one) that lives as long as the process.
const std::string& scratchDir();

// Writes a file (whole), or removes it when `present` is false.
void putFile(const std::string& path, std::string_view content, bool present = true);

}  // namespace kelvor::fuzz
