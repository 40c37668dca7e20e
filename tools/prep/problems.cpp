#include "tools/prep/problems.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "ground/errors.h"
#include "ground/freeform_reader.h"

namespace kelvor::prep {

std::string Problem::str() const {
  std::string s = severity == kWarning ? "warning: " : "";
  if (!file.empty()) {
    s += "file \"" + file + "\"";
    if (line > 0) s += ", line " + std::to_string(line);
    s += ": ";
  }
  return s + text;
}

std::size_t errorCount(const std::vector<Problem>& problems) {
  std::size_t n = 0;
  for (const auto& p : problems) n += p.severity == Problem::kError;
  return n;
}

std::optional<std::string> loadText(const std::string& path) { return loadFile(path); }

std::string loadExisting(const std::string& path) {
  std::optional<std::string> text = loadText(path);
  if (!text) throw FileError(path, 0, "no such file");
  return *text;
}

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> words(std::string_view line) {
  std::vector<std::string> out;
  std::size_t i = 0;
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; };
  while (i < line.size()) {
    while (i < line.size() && blank(line[i])) ++i;
    std::size_t j = i;
    while (j < line.size() && !blank(line[j])) ++j;
    if (j > i) out.emplace_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

}  // namespace kelvor::prep
