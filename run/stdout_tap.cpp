#include "run/stdout_tap.h"

#include "ground/output.h"

namespace kelvor {
namespace {

class Tap : public StdoutListener {
 public:
  std::vector<std::string>* lines = nullptr;
  bool hold = false;
  bool heard(const std::string& line) override {
    lines->push_back(line);
    return !hold;
  }
};
Tap tap;

}  // namespace

void tapStdout(std::vector<std::string>* lines, bool hold) {
  tap.lines = lines;
  tap.hold = lines != nullptr && hold;
  listenToStdout(lines != nullptr ? &tap : nullptr);
}

}  // namespace kelvor
