// The report file of a training or prediction run.
#pragma once

#include <string>

namespace kelvor {

// Opening creates a missing file and leaves an existing one as it is; the first line written
// empties it, so a run that stops before writing leaves an earlier report untouched, and
// afterwards the file holds only this run's lines. Every line is written at once (no buffer).
class ReportFile {
 public:
  ReportFile() = default;
  ~ReportFile();
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  void open(const std::string& path);
  // Opens an existing report to go on after its first `length` bytes: what follows them is cut
  // off, and the lines written come after them (a device is simply written to).
  void openAt(const std::string& path, long long length);
  void write(const std::string& line);
  void close();
  bool isOpen() const { return fd_ >= 0; }

 private:
  std::string path_;
  int fd_ = -1;
  bool emptied_ = false;
};

}  // namespace kelvor
