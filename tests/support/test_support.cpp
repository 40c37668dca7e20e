#include "tests/support/test_support.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kelvor::test {

ScratchDir::ScratchDir() {
  std::random_device rd;
  for (;;) {
    path_ = fs::temp_directory_path() / ("kelvor-test-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
    if (fs::create_directory(path_)) break;
  }
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

InDirectory::InDirectory(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
InDirectory::~InDirectory() { fs::current_path(old_); }

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> readLines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(readFile(path));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> copyExampleChains(const fs::path& dir, int count) {
  const fs::path ex = KELVOR_EXAMPLES;
  std::vector<std::string> names;
  std::ifstream list(ex / "proteins.list");
  for (std::string name; names.size() < static_cast<std::size_t>(count) && std::getline(list, name);)
    names.push_back(name);
  for (const char* sub : {"dssp_data", "new_prf", "kvqout"}) fs::create_directories(dir / sub);
  std::string listText;
  for (const auto& n : names) {
    fs::copy_file(ex / "dssp_data" / n, dir / "dssp_data" / n, fs::copy_options::overwrite_existing);
    fs::copy_file(ex / "new_prf" / (n + ".mat"), dir / "new_prf" / (n + ".mat"), fs::copy_options::overwrite_existing);
    fs::copy_file(ex / "kvqout" / (n + ".kvqout"), dir / "kvqout" / (n + ".kvqout"),
                  fs::copy_options::overwrite_existing);
    listText += n + "\n";
  }
  writeFile((dir / "proteins.list").string(), listText);
  return names;
}

void writeDefaults(const fs::path& dir, int epochs, int proteins, int fold, double testFraction,
                   const std::string& list, double rate, double momentum, double gain, double dcay) {
  std::ostringstream s;
  s.precision(17);
  s << epochs << "\n"
    << proteins << "\n0\n"
    << rate << "\n"
    << momentum << "\n"
    << gain << "\n"
    << dcay << "\n"
    << fold << "\n"
    << testFraction << "\n"
    << list << "\n";
  writeFile((dir / "kelvor.in").string(), s.str());
}

RunResult runKelvor(const fs::path& dir, const std::vector<std::string>& args, const std::vector<std::string>& env) {
  return runProgram(KELVOR_BINARY, dir, args, env, true);
}

RunResult runProgram(const char* binary, const fs::path& dir, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, bool clearTime, unsigned alarmSeconds) {
  ScratchDir capture;
  const std::string outPath = capture.file("out"), errPath = capture.file("err");
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    if (clearTime) ::unsetenv("KELVOR_TIME");
    for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
    if (!std::freopen(outPath.c_str(), "w", stdout) || !std::freopen(errPath.c_str(), "w", stderr)) ::_exit(127);
    if (alarmSeconds > 0) ::alarm(alarmSeconds);
    std::vector<char*> argv{const_cast<char*>(binary)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(binary, argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  RunResult r;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = readFile(outPath);
  r.err = readFile(errPath);
  return r;
}

std::string firstDifference(const std::string& expected, const std::string& actual) {
  std::istringstream a(expected), b(actual);
  std::string la, lb;
  for (int line = 1;; ++line) {
    bool ga = static_cast<bool>(std::getline(a, la)), gb = static_cast<bool>(std::getline(b, lb));
    if (!ga && !gb) return "";
    if (ga != gb || la != lb)
      return "line " + std::to_string(line) + ": expected [" + (ga ? la : "<end>") + "] got [" + (gb ? lb : "<end>") +
             "]";
  }
}

}  // namespace kelvor::test
