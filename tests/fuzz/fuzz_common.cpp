#include "tests/fuzz/fuzz_common.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace kelvor::fuzz {
namespace {

std::string made;

void removeScratch() {
  std::error_code ec;
  if (!made.empty()) std::filesystem::remove_all(made, ec);
}

}  // namespace

const std::string& scratchDir() {
  if (made.empty()) {
    // A memory file system keeps the many small writes fast; the working directory otherwise.
    const std::filesystem::path shm = "/dev/shm";
    const std::filesystem::path where = ::access(shm.c_str(), W_OK) == 0 ? shm : std::filesystem::current_path();
    std::filesystem::path p = where / ("kelvor-fuzz-scratch-" + std::to_string(::getpid()));
    std::filesystem::create_directories(p);
    made = p.string();
    std::atexit(removeScratch);
  }
  return made;
}

void putFile(const std::string& path, std::string_view content, bool present) {
  if (!present) {
    ::unlink(path.c_str());
    return;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.close();
  if (!out) fail("cannot write the scratch file", path);
}

}  // namespace kelvor::fuzz
