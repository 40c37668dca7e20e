// Bad inputs, one table: each spoils one thing in a working directory that would otherwise run
// cleanly, runs the program there and checks the answer: the message (standard output and/or
// standard error), the exit status, that the program was not killed by a signal or stopped by
// a sanitizer, and that no file of the directory changed other than the ones the run may write.
#include <algorithm>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "network/state.h"
#include "tests/support/test_support.h"
#include "weightio/weight_files.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::ScratchDir;
using test::writeFile;

// ---------------------------------------------------------------------------------------------
// The working directories.

// Ten chains of 30 to 35 residues. The prediction directory uses the first four: with fold 1 and
// test fraction 0.25 the data-set order is 1paa, 3znf, 5znf (training) and 1EXT4 (test).
const std::vector<std::string> kChains = {"1EXT4", "1paa", "3znf",  "5znf",   "1sp2",
                                          "1zaa1", "1zfd", "1JMA1", "1tii_C", "3IJ21"};
const std::string kEarlierReport = " an earlier run's report\n";

void copyChains(const fs::path& dir, std::size_t count) {
  const fs::path ex = KELVOR_EXAMPLES;
  for (const char* sub : {"dssp_data", "new_prf", "kvqout"}) fs::create_directories(dir / sub);
  std::string list;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& n = kChains[i];
    fs::copy_file(ex / "dssp_data" / n, dir / "dssp_data" / n);
    fs::copy_file(ex / "new_prf" / (n + ".mat"), dir / "new_prf" / (n + ".mat"));
    fs::copy_file(ex / "kvqout" / (n + ".kvqout"), dir / "kvqout" / (n + ".kvqout"));
    list += n + "\n";
  }
  writeFile((dir / "proteins.list").string(), list);
}

// A complete weight set of both networks, with small values that differ from weight to weight.
void writeWeights(const fs::path& dir) {
  Network net;
  auto fill = [](auto& values, double phase) {
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = 0.05 * std::sin(0.37 * static_cast<double>(i) + phase);
  };
  fill(net.wei1, 0.1);
  fill(net.wei2, 0.2);
  fill(net.pwei, 0.3);
  fill(net.fwei1, 0.4);
  fill(net.fwei2, 0.5);
  test::InDirectory in(dir);
  outwei(net, 0);
  outweif(net, 0);
}

enum class Base { kPredict, kTrain };

// The unspoiled directories, made once per test program.
const fs::path& baseDirectory(Base base) {
  static ScratchDir predict, train;
  static bool made = false;
  if (!made) {
    // Prediction mode: four chains and a kept weight set.
    copyChains(predict.path(), 4);
    test::writeDefaults(predict.path(), 0, 4, 1, 0.25);
    writeWeights(predict.path());
    writeFile(predict.file("kelvor.valdav"), kEarlierReport);
    // One training epoch: ten chains, no test part, a validation part of one protein.
    copyChains(train.path(), 10);
    test::writeDefaults(train.path(), 1, 10, 0, 0.0);
    writeWeights(train.path());
    writeFile(train.file("kelvor.valdav"), kEarlierReport);
    made = true;
  }
  return base == Base::kPredict ? predict.path() : train.path();
}

// ---------------------------------------------------------------------------------------------
// Spoiling a directory.

std::vector<std::string> lines(const fs::path& p) { return test::readLines(p.string()); }

void putLines(const fs::path& p, const std::vector<std::string>& ls) {
  std::string s;
  for (const auto& l : ls) s += l + "\n";
  writeFile(p.string(), s);
}

// Keeps the first n lines of a file.
void cut(const fs::path& p, std::size_t n) {
  auto ls = lines(p);
  ls.resize(std::min(n, ls.size()));
  putLines(p, ls);
}

// Replaces line n (1-based) of a file.
void setLine(const fs::path& p, std::size_t n, const std::string& text) {
  auto ls = lines(p);
  ls.at(n - 1) = text;
  putLines(p, ls);
}

// Replaces field f (1-based, blank-separated) of line n of a file.
void setField(const fs::path& p, std::size_t n, std::size_t f, const std::string& text) {
  auto ls = lines(p);
  std::istringstream in(ls.at(n - 1));
  std::vector<std::string> fields;
  for (std::string w; in >> w;) fields.push_back(w);
  fields.at(f - 1) = text;
  std::string joined;
  for (const auto& w : fields) joined += (joined.empty() ? "" : " ") + w;
  ls[n - 1] = joined;
  putLines(p, ls);
}

void replaceByDirectory(const fs::path& p) {
  fs::remove(p);
  fs::create_directories(p / "inside");
}

fs::path dssp(const fs::path& d, const std::string& n) { return d / "dssp_data" / n; }
fs::path profile(const fs::path& d, const std::string& n) { return d / "new_prf" / (n + ".mat"); }
fs::path prediction(const fs::path& d, const std::string& n) { return d / "kvqout" / (n + ".kvqout"); }

// Residue r of a chain: its line in each file.
std::size_t dsspLine(int r) { return static_cast<std::size_t>(r); }
std::size_t profileLine(int r) { return static_cast<std::size_t>(r) + 3; }
std::size_t predictionLine(int r) { return static_cast<std::size_t>(r) + 1; }

// Gives a chain's residue r the letter c in all three files.
void setResidueLetter(const fs::path& d, const std::string& chain, int r, const std::string& c) {
  setField(dssp(d, chain), dsspLine(r), 2, c);
  setField(profile(d, chain), profileLine(r), 2, c);
  setField(prediction(d, chain), predictionLine(r), 2, c);
}

// Moves a chain's three files to a new name and names it in the list instead.
void renameChain(const fs::path& d, const std::string& from, const std::string& to, const std::string& listLine) {
  fs::rename(dssp(d, from), dssp(d, to));
  fs::rename(profile(d, from), profile(d, to));
  fs::rename(prediction(d, from), prediction(d, to));
  auto ls = lines(d / "proteins.list");
  for (auto& l : ls)
    if (l == from) l = listLine;
  putLines(d / "proteins.list", ls);
}

// ---------------------------------------------------------------------------------------------
// Running the program.

struct Outcome {
  int status = -1;  // exit status, or -1 when a signal ended the process
  int signal = 0;
  std::string out, err;
};

struct RunOptions {
  std::vector<std::string> args;
  std::vector<std::string> env;
  std::string stdoutTo;         // a path instead of the captured file (e.g. /dev/full)
  bool unprivileged = false;    // run as a user who may not write in the directory
  long fileSizeLimit = 0;       // RLIMIT_FSIZE in bytes, 0 for none
  bool closedPipe = false;      // standard output a pipe that nobody reads
  bool closedStandard = false;  // standard input and output closed at the start
};

RunOptions withArgs(std::vector<std::string> args) {
  RunOptions o;
  o.args = std::move(args);
  return o;
}
RunOptions withEnv(std::vector<std::string> env) {
  RunOptions o;
  o.env = std::move(env);
  return o;
}
RunOptions withStdout(std::string path) {
  RunOptions o;
  o.stdoutTo = std::move(path);
  return o;
}
RunOptions unprivileged() {
  RunOptions o;
  o.unprivileged = true;
  return o;
}
RunOptions intoAClosedPipe() {
  RunOptions o;
  o.closedPipe = true;
  return o;
}
RunOptions withClosedStandardDescriptors() {
  RunOptions o;
  o.closedStandard = true;
  return o;
}
RunOptions withFileSizeLimit(long bytes) {
  RunOptions o;
  o.fileSizeLimit = bytes;
  return o;
}

Outcome run(const fs::path& dir, const RunOptions& o) {
  ScratchDir capture;
  const std::string outPath = o.stdoutTo.empty() ? capture.file("out") : o.stdoutTo;
  const std::string errPath = capture.file("err");
  std::vector<std::string> env = {"KELVOR_TIME=00:00:00"};
  env.insert(env.end(), o.env.begin(), o.env.end());
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    ::unsetenv("KELVOR_TIME");
    for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
    if (!std::freopen(outPath.c_str(), "w", stdout) || !std::freopen(errPath.c_str(), "w", stderr)) ::_exit(127);
    int ends[2];
    if (o.closedPipe && (::pipe(ends) != 0 || ::close(ends[0]) != 0 || ::dup2(ends[1], 1) != 1)) ::_exit(127);
    if (o.fileSizeLimit > 0) {
      ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
      struct rlimit lim {};
      lim.rlim_cur = lim.rlim_max = static_cast<rlim_t>(o.fileSizeLimit);
      if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) ::_exit(127);
    }
    if (o.closedStandard && (::close(0) != 0 || ::close(1) != 0)) ::_exit(127);
    if (o.unprivileged && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(127);
    std::vector<char*> argv{const_cast<char*>(KELVOR_BINARY)};
    for (const auto& a : o.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(KELVOR_BINARY, argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  Outcome r;
  if (WIFEXITED(status))
    r.status = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    r.signal = WTERMSIG(status);
  if (o.stdoutTo.empty() && !o.closedPipe && !o.closedStandard) r.out = readFile(outPath);
  r.err = readFile(errPath);
  return r;
}

// Every file and directory below dir, by relative path: a file's content or "<directory>".
std::map<std::string, std::string> snapshot(const fs::path& dir) {
  std::map<std::string, std::string> s;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    const std::string rel = fs::relative(e.path(), dir).string();
    if (e.is_directory())
      s[rel] = "<directory>";
    else if (!e.is_regular_file())
      s[rel] = "<special>";
    else
      s[rel] = readFile(e.path().string());
  }
  return s;
}

// ---------------------------------------------------------------------------------------------
// The table.

struct Case {
  std::string name;
  std::function<void(const fs::path&)> spoil;
  int status;
  std::vector<std::string> out;          // texts that standard output holds
  std::vector<std::string> err;          // texts that standard error holds
  std::set<std::string> mayChange = {};  // files that the run may rewrite or create
  Base base = Base::kPredict;
  RunOptions options = {};
  std::string exactOut = "";     // when set, the whole of standard output
  bool quietErr = false;         // standard error holds nothing but the closing line
  bool holdLock = false;         // the test holds the directory's lock during the run
  std::string reportLacks = "";  // a text that must not be in the report file afterwards
  bool takesNoLock = false;      // the run is refused before it takes the directory's lock
};

const std::string kSeedLine = " random seed =            6\n";
const std::string kBanner = " -------------------quandel-------------------";
const std::string kReport = "kelvor.valdav";
const std::set<std::string> kReportOnly = {kReport};
const std::set<std::string> kFirstStageAndReport = {kReport, "fort.77", "fort.78", "fort.79"};
const std::set<std::string> kAllWeightsAndReport = {kReport, "fort.77", "fort.78", "fort.79", "fort.87", "fort.88"};

std::string integer(int v) {
  std::string s = std::to_string(v);
  return std::string(12 - s.size(), ' ') + s;
}

// The four report lines of a letter mismatch, the name continued on a line of its own.
std::string mismatchReport(const std::string& which, int j, int nta, int ix, char a, char b, const std::string& name) {
  const bool first = which == "aa12";
  return kSeedLine + " " + which + " mismatch, aborting\n" + " i=" + integer(j) + "    nta=" + integer(nta) +
         "    ix=" + integer(ix) + "\n" + (first ? " aa1: " : " aa2: ") + a + (first ? "     aa2: " : "     aa3: ") +
         b + "\n" + " file: \n" + " " + name + std::string(120 - name.size(), ' ') + "\n";
}

std::vector<Case> cases() {
  std::vector<Case> t;
  const auto in = [](const fs::path& d) { return d / "kelvor.in"; };

  // The unspoiled directories themselves.
  t.push_back(
      {"nothing_wrong_prediction", [](const fs::path&) {}, 0, {kBanner, " Q10P:", " #After filter"}, {}, kReportOnly});
  t.back().quietErr = true;
  // (Its test part is empty: one warning says what that means for the scores.)
  t.push_back({"nothing_wrong_training",
               [](const fs::path&) {},
               0,
               {kBanner, " Q10P:"},
               {"warning: the test part is empty"},
               kAllWeightsAndReport,
               Base::kTrain});

  // The defaults file, cut after every one of its lines.
  for (std::size_t n = 0; n < 10; ++n)
    t.push_back(
        {"defaults_cut_after_line_" + std::to_string(n),
         [n, in](const fs::path& d) { cut(in(d), n); },
         2,
         {},
         {"kelvor.in", n == 0 ? "end of file (the file is empty)" : "end of file after line " + std::to_string(n)}});
  t.push_back({"defaults_line_10_without_its_word",
               [in](const fs::path& d) { setLine(in(d), 10, "'proteins.list'"); },
               2,
               {},
               {"kelvor.in", "end of file after line 10"}});
  t.push_back({"defaults_missing", [in](const fs::path& d) { fs::remove(in(d)); }, 2, {}, {"kelvor.in", "missing"}});
  t.push_back({"defaults_is_a_directory",
               [in](const fs::path& d) { replaceByDirectory(in(d)); },
               2,
               {},
               {"kelvor.in", "directory"}});

  // Values that do not read as their kind.
  t.push_back({"defaults_word_for_the_epoch_limit",
               [in](const fs::path& d) { setLine(in(d), 1, "many"); },
               2,
               {},
               {"kelvor.in", "line 1", "\"many\""}});
  t.push_back({"defaults_real_for_the_protein_count",
               [in](const fs::path& d) { setLine(in(d), 2, "4.5"); },
               2,
               {},
               {"kelvor.in", "line 2", "\"4.5\""}});
  t.push_back({"defaults_word_for_the_rate",
               [in](const fs::path& d) { setLine(in(d), 4, "fast"); },
               2,
               {},
               {"kelvor.in", "line 4", "\"fast\""}});
  t.push_back({"defaults_quoted_fold_number",
               [in](const fs::path& d) { setLine(in(d), 8, "'1'"); },
               2,
               {},
               {"kelvor.in", "line 8", "\"1\""}});
  t.push_back({"defaults_integer_beyond_32_bits",
               [in](const fs::path& d) { setLine(in(d), 1, "2147483648"); },
               2,
               {},
               {"kelvor.in", "line 1", "\"2147483648\""}});
  t.push_back({"defaults_exponent_without_digits",
               [in](const fs::path& d) { setLine(in(d), 6, "0.5E"); },
               2,
               {},
               {"kelvor.in", "line 6", "\"0.5E\""}});

  // Quoting and slashes in the list name.
  t.push_back({"defaults_unbalanced_quotes",
               [in](const fs::path& d) { setLine(in(d), 10, "\"proteins.list' real"); },
               2,
               {},
               {"kelvor.in", "end of file"}});
  t.push_back({"defaults_bare_name_with_a_directory",
               [in](const fs::path& d) { setLine(in(d), 10, "/data/proteins.list real"); },
               2,
               {},
               {"protein list is missing"}});
  t.push_back({"defaults_doubled_quote_in_the_name",
               [in](const fs::path& d) { setLine(in(d), 10, "'protein''s.list' real"); },
               2,
               {},
               {"protein's.list", "missing"}});
  t.push_back({"defaults_quoted_name_of_a_directory",
               [in](const fs::path& d) { setLine(in(d), 10, "'dssp_data/' real"); },
               2,
               {},
               {"dssp_data/", "directory"}});

  // Settings out of their range, and the command line.
  t.push_back({"test_fraction_above_one",
               [in](const fs::path& d) { setLine(in(d), 9, "1.5"); },
               1,
               {},
               {"test fraction", "1.5", "0 to 1"}});
  t.push_back({"test_fraction_negative",
               [in](const fs::path& d) { setLine(in(d), 9, "-0.25"); },
               1,
               {},
               {"test fraction", "-0.25", "0 to 1"}});
  t.push_back({"test_fraction_not_a_number",
               [in](const fs::path& d) { setLine(in(d), 9, "NaN"); },
               2,
               {},
               {"kelvor.in", "line 9", "\"NaN\" is not a finite number", "test fraction"}});
  t.push_back({"protein_count_negative",
               [in](const fs::path& d) { setLine(in(d), 2, "-4"); },
               1,
               {},
               {"requested protein count", "-4"}});
  t.push_back({"fold_straddling_the_end_of_the_list",
               [in](const fs::path& d) {
                 setLine(in(d), 8, "2");
                 setLine(in(d), 9, "0.75");
               },
               1,
               {},
               {"fold number", "is 2", "4 proteins", "allowed"}});
  const auto noChange = [](const fs::path&) {};
  t.push_back({"seed_offset_too_large",
               noChange,
               1,
               {},
               {"seed offset", "2147483647", "32-bit"},
               {},
               Base::kPredict,
               withArgs({"2147483647"})});
  t.push_back(
      {"seed_offset_too_negative", noChange, 1, {}, {"seed offset", "-100"}, {}, Base::kPredict, withArgs({"-100"})});
  t.push_back(
      {"seed_offset_not_a_number", noChange, 1, {}, {"seed offset", "12abc"}, {}, Base::kPredict, withArgs({"12abc"})});
  t.push_back(
      {"seed_offset_beyond_32_bits", noChange, 1, {}, {"seed offset", "1e10"}, {}, Base::kPredict, withArgs({"1e10"})});
  t.push_back({"time_of_day_malformed",
               noChange,
               1,
               {},
               {"KELVOR_TIME", "24:00:00"},
               {},
               Base::kPredict,
               withEnv({"KELVOR_TIME=24:00:00"})});
  // Class: every KELVOR_* variable is checked before anything is locked or written, by one rule.
  t.push_back({"kernel_set_unknown",
               noChange,
               1,
               {},
               {"KELVOR_KERNEL is \"quick\"; allowed: reference, fast, best"},
               {},
               Base::kPredict,
               withEnv({"KELVOR_KERNEL=quick"})});
  t.push_back({"threads_beyond_the_most",
               noChange,
               1,
               {},
               {"KELVOR_THREADS is \"9\"; allowed: 0 (the cores available) to 8"},
               {},
               Base::kPredict,
               withEnv({"KELVOR_THREADS=9"})});
  t.push_back({"checkpoint_seconds_with_a_sign",
               noChange,
               1,
               {},
               {"KELVOR_CHECKPOINT_SECONDS is \"+5\"; allowed:"},
               {},
               Base::kTrain,
               withEnv({"KELVOR_CHECKPOINT_SECONDS=+5"})});

  // The protein list.
  // Class: a list that is missing, names no protein, or has a blank line is refused.
  t.push_back({"list_missing",
               [](const fs::path& d) { fs::remove(d / "proteins.list"); },
               2,
               {},
               {"proteins.list", "missing"}});
  t.push_back({"list_empty",
               [](const fs::path& d) { writeFile((d / "proteins.list").string(), ""); },
               2,
               {},
               {"proteins.list", "names no protein"}});
  t.push_back({"list_is_a_directory",
               [](const fs::path& d) { replaceByDirectory(d / "proteins.list"); },
               2,
               {},
               {"proteins.list", "directory"}});
  t.push_back({"list_line_with_a_nul_byte",
               [](const fs::path& d) {
                 writeFile((d / "proteins.list").string(), std::string("1EXT4\n1pa\0a\n3znf\n5znf\n", 22));
               },
               2,
               {},
               {"dssp_data/1pa\\0a", "NUL"}});
  t.push_back({"list_with_a_blank_line",
               [](const fs::path& d) {
                 putLines(d / "proteins.list", {"1EXT4", "", "3znf", "5znf"});
               },
               2,
               {},
               {"proteins.list", "line 2", "blank line"}});
  // Long names are used whole: a path past 120 characters is fine, a name past the 120
  // characters kept is refused, never cut (a cut name would read another protein's files).
  t.push_back({"protein_name_with_a_path_past_120_characters",
               [](const fs::path& d) { renameChain(d, "1paa", std::string(110, 'p'), std::string(110, 'p')); },
               0,
               {kBanner, " Q10P:"},
               {},
               kReportOnly});
  t.back().quietErr = true;
  t.push_back({"list_line_of_120_characters",
               [](const fs::path& d) { renameChain(d, "1paa", std::string(120, 'q'), std::string(120, 'q') + "  "); },
               0,
               {kBanner, " Q10P:"},
               {},
               kReportOnly});
  t.back().quietErr = true;
  t.push_back({"list_line_past_120_characters",
               [](const fs::path& d) {
                 renameChain(d, "1paa", std::string(120, 'q'), std::string(120, 'q') + "-ignored-tail");
               },
               2,
               {},
               {"\"proteins.list\", line 2: name of 133 characters; allowed: at most 120, a name is never cut"}});
  t.push_back(
      {"defaults_list_name_past_120_characters",
       [in](const fs::path& d) {
         const std::string name = std::string(117, 'l') + "/../proteins.list";
         setLine(in(d), 10, "'" + name + "' real");
       },
       2,
       {},
       {"\"kelvor.in\", line 10: name of 134 characters; allowed: at most 120, a name is never cut (setting 10, "
        "protein list file name)"}});

  // The per-protein files of 1paa (data-set position 1).
  const std::string p = "1paa";
  t.push_back({"dssp_file_missing",
               [p](const fs::path& d) { fs::remove(dssp(d, p)); },
               0,
               {kBanner, " Q10P:"},
               {"dssp_data/1paa", "missing"},
               kReportOnly});
  t.push_back({"dssp_file_empty",
               [p](const fs::path& d) { writeFile(dssp(d, p).string(), ""); },
               0,
               {kBanner, " Q10P:"},
               {},
               kReportOnly});
  t.back().quietErr = true;
  t.push_back({"profile_file_missing",
               [p](const fs::path& d) { fs::remove(profile(d, p)); },
               2,
               {},
               {"new_prf/1paa.mat", "missing"}});
  t.push_back({"profile_file_empty",
               [p](const fs::path& d) { writeFile(profile(d, p).string(), ""); },
               2,
               {},
               {"new_prf/1paa.mat", "header line 1"}});
  t.push_back({"profile_header_of_two_lines",
               [p](const fs::path& d) { cut(profile(d, p), 2); },
               2,
               {},
               {"new_prf/1paa.mat", "header line 3"}});
  t.push_back({"prediction_file_missing",
               [p](const fs::path& d) { fs::remove(prediction(d, p)); },
               2,
               {},
               {"kvqout/1paa.kvqout", "missing"}});
  t.push_back({"prediction_file_empty",
               [p](const fs::path& d) { writeFile(prediction(d, p).string(), ""); },
               2,
               {},
               {"kvqout/1paa.kvqout", "header line 1"}});
  t.push_back({"prediction_file_is_a_directory",
               [p](const fs::path& d) { replaceByDirectory(prediction(d, p)); },
               2,
               {},
               {"kvqout/1paa.kvqout", "directory"}});
  t.push_back({"profile_file_short",
               [p](const fs::path& d) { cut(profile(d, p), profileLine(10)); },
               0,
               {kBanner, " Q10P:"},
               {"1paa", "residue 11", "new_prf/1paa.mat", "end of file after line 13", "10 residues kept"},
               kReportOnly});
  t.push_back({"prediction_file_short",
               [p](const fs::path& d) { cut(prediction(d, p), predictionLine(20)); },
               0,
               {kBanner},
               {"1paa", "residue 21", "kvqout/1paa.kvqout", "end of file after line 21"},
               kReportOnly});
  t.push_back({"prediction_record_that_is_a_comment",
               [p](const fs::path& d) { setLine(prediction(d, p), predictionLine(5), "# a comment"); },
               0,
               {kBanner},
               {"1paa", "residue 5", "kvqout/1paa.kvqout", "line 6", "\"#\"", "4 residues kept"},
               kReportOnly});
  t.push_back({"profile_value_that_is_not_a_number",
               [p](const fs::path& d) { setField(profile(d, p), profileLine(3), 5, "1.2.3"); },
               0,
               {kBanner},
               {"1paa", "residue 3", "new_prf/1paa.mat", "line 6", "\"1.2.3\""},
               kReportOnly});
  // Class: a real that is not a finite number, wherever it is read.
  for (const auto& [where, spoil, texts] :
       std::vector<std::tuple<std::string, std::function<void(const fs::path&)>, std::vector<std::string>>>{
           {"rate_inf",
            [in](const fs::path& d) { setLine(in(d), 4, "inf"); },
            {"kelvor.in", "line 4", "learning rate"}},
           {"dcay_overflowing",
            [in](const fs::path& d) { setLine(in(d), 7, "1e400"); },
            {"kelvor.in", "line 7", "dcay"}},
           {"profile_value",
            [p](const fs::path& d) { setField(profile(d, p), profileLine(3), 5, "NaN"); },
            {"new_prf/1paa.mat", "line 6", "item 5"}},
           {"surface_area",
            [p](const fs::path& d) { setField(prediction(d, p), predictionLine(2), 11, "-Inf"); },
            {"kvqout/1paa.kvqout", "line 3"}},
           {"weight", [](const fs::path& d) { setLine(d / "fort.78", 17, " nan"); }, {"fort.78", "line 17"}}}) {
    std::vector<std::string> err = texts;
    err.push_back("not a finite number");
    // The weight files are read at the end of a phase, after the report has begun.
    t.push_back({"not_finite_" + where, spoil, 2, {}, err, where == "weight" ? kReportOnly : std::set<std::string>{}});
  }
  t.push_back({"dssp_record_without_its_structure_letter",
               [p](const fs::path& d) { setLine(dssp(d, p), dsspLine(4), "133 A K"); },
               3,
               {},
               {},
               {},
               Base::kPredict,
               {},
               kSeedLine + " SS type not found, aborting.\n"});

  // Residue and structure letters.
  t.push_back({"aa12_mismatch",
               [](const fs::path& d) { setField(dssp(d, "3znf"), dsspLine(5), 2, "W"); },
               3,
               {},
               {},
               {},
               Base::kPredict,
               {},
               mismatchReport("aa12", 5, 35, 2, 'W', 'C', "3znf")});
  t.push_back({"aa23_mismatch",
               [p](const fs::path& d) { setField(prediction(d, p), predictionLine(7), 2, "R"); },
               3,
               {},
               {},
               {},
               Base::kPredict,
               {},
               mismatchReport("aa23", 7, 7, 1, 'L', 'R', "1paa")});
  t.push_back({"lower_case_letter_in_one_file",
               [p](const fs::path& d) { setField(dssp(d, p), dsspLine(1), 2, "k"); },
               3,
               {},
               {},
               {},
               Base::kPredict,
               {},
               mismatchReport("aa12", 1, 1, 1, 'k', 'K', "1paa")});
  t.push_back({"non_ascii_letter_in_one_file",
               [p](const fs::path& d) { setField(profile(d, p), profileLine(2), 2, "\xc3\xa9"); },
               3,
               {},
               {},
               {},
               Base::kPredict,
               {},
               mismatchReport("aa12", 2, 2, 1, 'A', '\xc3', "1paa")});
  // Class: an unknown structure letter keeps its report line; standard error says where it is.
  t.push_back({"unknown_structure_letter",
               [p](const fs::path& d) { setField(dssp(d, p), dsspLine(6), 4, "G"); },
               3,
               {},
               {"dssp_data/1paa", "line 6", "protein 1paa", "residue 6", "'G'"},
               {},
               Base::kPredict,
               {},
               kSeedLine + " SS type not found, aborting.\n"});
  t.push_back({"lower_case_structure_letter",
               [p](const fs::path& d) { setField(dssp(d, p), dsspLine(4), 4, "e"); },
               3,
               {},
               {},
               {},
               Base::kPredict,
               {},
               kSeedLine + " SS type not found, aborting.\n"});
  t.push_back({"lower_case_letters_in_all_three_files",
               [p](const fs::path& d) {
                 setResidueLetter(d, p, 1, "k");
                 setResidueLetter(d, p, 2, "a");
               },
               0,
               {kBanner, " Q10P:"},
               {},
               kReportOnly});
  t.back().quietErr = true;
  t.push_back({"non_ascii_letters_in_all_three_files",
               [p](const fs::path& d) {
                 setResidueLetter(d, p, 1, "\xc3\xa9");
                 setResidueLetter(d, p, 3, "\xff");
               },
               0,
               {kBanner, " Q10P:"},
               {},
               kReportOnly});
  t.back().quietErr = true;
  t.push_back({"letters_without_a_surface_maximum",
               [p](const fs::path& d) {
                 setResidueLetter(d, p, 1, "X");
                 setResidueLetter(d, p, 2, "B");
                 setResidueLetter(d, p, 3, "Z");
               },
               0,
               {kBanner, " Q10P:"},
               {},
               kReportOnly});
  t.back().quietErr = true;

  // Weight files in prediction mode: the banner is written before they are read.
  t.push_back({"weights_77_missing",
               [](const fs::path& d) { fs::remove(d / "fort.77"); },
               2,
               {kBanner},
               {"fort.77", "missing"},
               kReportOnly});
  t.push_back({"weights_77_empty",
               [](const fs::path& d) { writeFile((d / "fort.77").string(), ""); },
               2,
               {kBanner},
               {"fort.77", "end of file"},
               kReportOnly});
  t.push_back({"weights_77_is_a_directory",
               [](const fs::path& d) { replaceByDirectory(d / "fort.77"); },
               2,
               {kBanner},
               {"fort.77", "directory"},
               kReportOnly});
  t.push_back({"weights_78_short",
               [](const fs::path& d) { cut(d / "fort.78", 500); },
               2,
               {kBanner},
               {"fort.78", "end of file", "500 of 10302"},
               kReportOnly});
  t.push_back({"weights_79_malformed",
               [](const fs::path& d) { setLine(d / "fort.79", 7, " 0.5 x 0.3"); },
               2,
               {kBanner},
               {"fort.79", "line 7", "\"x\""},
               kReportOnly});
  t.push_back({"weights_87_missing",
               [](const fs::path& d) { fs::remove(d / "fort.87"); },
               2,
               {kBanner, " Q10P:", " #After filter"},
               {"fort.87", "missing"},
               kReportOnly});
  t.push_back({"weights_88_malformed",
               [](const fs::path& d) { setLine(d / "fort.88", 10, " 1.0.0"); },
               2,
               {" #After filter"},
               {"fort.88", "line 10", "\"1.0.0\""},
               kReportOnly});

  // Class: weight files that cannot be written (one training epoch, which saves both networks)
  // are known before the report is opened: the previous report and weights stay as they were.
  t.push_back({"weights_79_cannot_be_replaced",
               [](const fs::path& d) { replaceByDirectory(d / "fort.79"); },
               2,
               {},
               {"file \"fort.79\": cannot replace: is a directory (every output is checked before the run begins; "
                "nothing was written)"},
               {},
               Base::kTrain});
  t.push_back({"weights_87_cannot_be_replaced",
               [](const fs::path& d) { replaceByDirectory(d / "fort.87"); },
               2,
               {},
               {"file \"fort.87\": cannot replace: is a directory"},
               {},
               Base::kTrain});
  t.push_back({"weights_temporary_in_the_way",
               [](const fs::path& d) { replaceByDirectory(d / "fort.78.part"); },
               2,
               {},
               {"file \"fort.78\": cannot replace: its temporary \"fort.78.part\" is a directory"},
               {},
               Base::kTrain});
  t.push_back({"weights_88_linked_to_a_device",
               [](const fs::path& d) {
                 fs::remove(d / "fort.88");
                 fs::create_symlink("/dev/null", d / "fort.88");
               },
               2,
               {},
               {"file \"fort.88\": cannot replace: is not a regular file"},
               {},
               Base::kTrain});
  t.push_back({"weights_beyond_the_file_size_limit",
               noChange,
               2,
               {},
               {"fort.77", "cannot write"},
               kReportOnly,
               Base::kTrain,
               withFileSizeLimit(100000)});

  // Class: a training phase that stops being finite stops the run; the weight files stay.
  t.push_back({"training_that_diverges",
               [](const fs::path& d) {
                 setLine(d / "kelvor.in", 4, "1e300");
                 setLine(d / "kelvor.in", 5, "1e300");
               },
               3,
               {},
               {"first stage", "after epoch 1", "not finite"},
               kReportOnly,
               Base::kTrain});

  // Class: an empty validation part (9 proteins outside an empty test part): a warning per phase;
  // without weight files the final pass's error says why.
  const auto nineProteins = [](const fs::path& d) { setLine(d / "kelvor.in", 2, "9"); };
  t.push_back({"validation_part_empty",
               nineProteins,
               0,
               {kBanner, " Q10P:"},
               {"first stage phase: the validation part is empty", "filter phase: the validation part is empty"},
               kReportOnly,
               Base::kTrain});
  t.push_back({"validation_part_empty_without_weight_files",
               [nineProteins](const fs::path& d) {
                 nineProteins(d);
                 for (const char* f : {"fort.77", "fort.78", "fort.79", "fort.87", "fort.88"}) fs::remove(d / f);
               },
               2,
               {kBanner},
               {"fort.77", "missing", "validation part is empty"},
               kReportOnly,
               Base::kTrain});

  // Class: inputs that are not regular files, or hold a line without end, are refused at once.
  t.push_back({"dssp_file_is_a_fifo",
               [p](const fs::path& d) {
                 fs::remove(dssp(d, p));
                 ASSERT_EQ(::mkfifo(dssp(d, p).c_str(), 0644), 0);
               },
               2,
               {},
               {"dssp_data/1paa", "not a regular file"},
               kReportOnly});
  t.push_back({"profile_with_a_line_without_end",
               [p](const fs::path& d) { writeFile(profile(d, p).string(), std::string(3u << 20, '\0')); },
               2,
               {},
               {"new_prf/1paa.mat", "line 1", "allowed: at most 1048576"},
               kReportOnly});
  t.push_back({"defaults_file_is_dev_zero",
               [](const fs::path& d) {
                 fs::remove(d / "kelvor.in");
                 fs::create_symlink("/dev/zero", d / "kelvor.in");
               },
               2,
               {},
               {"kelvor.in", "not a regular file"}});

  // Class: an output that is, through a link, one of the run's inputs is refused before anything
  // is written; a link to anywhere else is followed.
  t.push_back({"report_file_linked_to_the_defaults_file",
               [](const fs::path& d) {
                 fs::remove(d / kReport);
                 fs::create_symlink("kelvor.in", d / kReport);
               },
               2,
               {},
               {kReport, "\"kelvor.in\"", "through a link"}});
  t.push_back({"lock_file_linked_to_a_profile_file",
               [p](const fs::path& d) { fs::create_symlink(fs::path("new_prf") / (p + ".mat"), d / "kelvor.lock"); },
               2,
               {},
               {"kelvor.lock", "new_prf/1paa.mat", "through a link"}});
  t.push_back({"report_file_linked_into_a_results_folder",
               [](const fs::path& d) {
                 fs::create_directories(d / "results");
                 fs::rename(d / kReport, d / "results" / "report.txt");
                 fs::create_symlink(fs::path("results") / "report.txt", d / kReport);
               },
               0,
               {kBanner},
               {},
               {kReport, "results/report.txt"}});

  // Class: standard input and output closed at the start: no report line lands in another file.
  t.push_back({"standard_input_and_output_closed",
               noChange,
               0,
               {},
               {},
               kReportOnly,
               Base::kPredict,
               withClosedStandardDescriptors()});
  t.back().quietErr = true;
  t.back().reportLacks = "Q10P:";  // a line of standard output only

  // The working directory and standard output.
  t.push_back({"working_directory_not_writable",
               noChange,
               2,
               {},
               {"kelvor.lock", "cannot create"},
               {},
               Base::kPredict,
               unprivileged()});
  t.push_back({"lock_held_by_another_run", noChange, 4, {}, {"another run", std::to_string(::getpid())}});
  t.back().holdLock = true;
  t.push_back({"lock_file_is_a_directory",
               [](const fs::path& d) { replaceByDirectory(d / "kelvor.lock"); },
               2,
               {},
               {"kelvor.lock"}});
  t.push_back(
      {"report_file_is_a_directory", [](const fs::path& d) { replaceByDirectory(d / kReport); }, 2, {}, {kReport}});
  t.push_back({"standard_output_on_a_full_disk",
               noChange,
               2,
               {},
               {"standard output", "disk full"},
               kReportOnly,
               Base::kPredict,
               withStdout("/dev/full")});
  t.push_back({"standard_output_on_a_full_disk_at_a_stop",
               [](const fs::path& d) { setField(dssp(d, "3znf"), dsspLine(5), 2, "W"); },
               2,
               {},
               {"standard output", "disk full"},
               {},
               Base::kPredict,
               withStdout("/dev/full")});
  t.push_back({"standard_output_a_closed_pipe",
               noChange,
               2,
               {},
               {"standard output", "Broken pipe"},
               kReportOnly,
               Base::kPredict,
               intoAClosedPipe()});
  // Class: a resume reads its checkpoint as any input, refused at once unless it is a regular
  // file, and takes nothing (no lock file) before the checkpoint has passed its checks.
  const RunOptions resume = withArgs({"--resume"});
  t.push_back({"resume_without_a_checkpoint",
               noChange,
               1,
               {},
               {"no checkpoint \"kelvor.checkpoint\"", "nothing to resume"},
               {},
               Base::kTrain,
               resume});
  t.back().takesNoLock = true;
  t.push_back({"resume_from_a_checkpoint_that_is_a_directory",
               [](const fs::path& d) { replaceByDirectory(d / "kelvor.checkpoint"); },
               1,
               {},
               {"cannot resume: the checkpoint \"kelvor.checkpoint\" is refused (cannot open: is a directory); nothing "
                "was changed"},
               {},
               Base::kTrain,
               resume});
  t.back().takesNoLock = true;
  t.push_back({"resume_from_a_checkpoint_that_is_a_fifo",
               [](const fs::path& d) { ASSERT_EQ(::mkfifo((d / "kelvor.checkpoint").c_str(), 0644), 0); },
               1,
               {},
               {"cannot resume: the checkpoint \"kelvor.checkpoint\" is refused (cannot read: not a regular file"},
               {},
               Base::kTrain,
               resume});
  t.back().takesNoLock = true;
  t.push_back({"resume_from_a_checkpoint_that_is_dev_zero",
               [](const fs::path& d) { fs::create_symlink("/dev/zero", d / "kelvor.checkpoint"); },
               1,
               {},
               {"cannot resume: the checkpoint \"kelvor.checkpoint\" is refused (cannot read: not a regular file"},
               {},
               Base::kTrain,
               resume});
  t.back().takesNoLock = true;
  t.push_back({"resume_from_a_checkpoint_of_random_bytes",
               [](const fs::path& d) { writeFile((d / "kelvor.checkpoint").string(), std::string(4096, '\x5a')); },
               1,
               {},
               {"the checkpoint \"kelvor.checkpoint\" is damaged (not a kelvor checkpoint)"},
               {},
               Base::kTrain,
               resume});
  t.back().takesNoLock = true;

  // A report file that is a device is written to, not emptied.
  t.push_back({"report_file_on_dev_null",
               [](const fs::path& d) {
                 fs::remove(d / kReport);
                 fs::create_symlink("/dev/null", d / kReport);
               },
               0,
               {kBanner, " Q10P:"},
               {}});
  t.back().quietErr = true;
  return t;
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class BadInput : public testing::TestWithParam<Case> {};

TEST_P(BadInput, GetsItsMessageAndStatusAndChangesNothingElse) {
  const Case& c = GetParam();
  if (c.options.unprivileged && ::geteuid() == 0 && ::access(KELVOR_BINARY, X_OK) != 0)
    GTEST_SKIP() << "the program cannot be run as another user here";

  ScratchDir dir;
  fs::copy(baseDirectory(c.base), dir.path(), fs::copy_options::recursive);
  c.spoil(dir.path());
  if (c.options.unprivileged && ::geteuid() != 0)
    fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::remove);

  int lock = -1;
  if (c.holdLock) {
    lock = ::open(dir.file("kelvor.lock").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(lock, 0);
    const std::string pid = std::to_string(::getpid()) + "\n";
    ASSERT_EQ(::write(lock, pid.data(), pid.size()), static_cast<ssize_t>(pid.size()));
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
  }

  const auto before = snapshot(dir.path());
  const Outcome r = run(dir.path(), c.options);
  if (lock >= 0) ::close(lock);
  if (c.options.unprivileged && ::geteuid() != 0)
    fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::add);
  const auto after = snapshot(dir.path());

  // No crash, and no sanitizer report.
  EXPECT_EQ(r.signal, 0) << "ended by signal " << r.signal << "\n" << r.err;
  EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
  // The answer.
  EXPECT_EQ(r.status, c.status) << "stdout:\n" << r.out << "stderr:\n" << r.err;
  for (const auto& s : c.out) EXPECT_NE(r.out.find(s), std::string::npos) << "stdout lacks [" << s << "]:\n" << r.out;
  for (const auto& s : c.err) EXPECT_NE(r.err.find(s), std::string::npos) << "stderr lacks [" << s << "]:\n" << r.err;
  if (!c.exactOut.empty()) {
    EXPECT_EQ(r.out, c.exactOut) << test::firstDifference(c.exactOut, r.out);
  }
  if (c.quietErr) {
    EXPECT_EQ(r.err.rfind("kelvor: done in ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  // A failure is one line on standard error that says what went wrong.
  if (c.status == 1 || c.status == 2 || c.status == 4) {
    EXPECT_EQ(r.err.rfind("kelvor: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.back(), '\n');
  }

  // Nothing else changed: every entry is as it was, unless the run may write it; nothing new
  // appeared but the lock file and the files the run may write.
  std::set<std::string> allowed = c.mayChange;
  if (!c.holdLock) allowed.insert("kelvor.lock");
  for (const auto& [path, content] : before) {
    if (allowed.count(path)) continue;
    auto it = after.find(path);
    if (it == after.end())
      ADD_FAILURE() << path << " vanished";
    else if (it->second != content)
      ADD_FAILURE() << path << " changed";
  }
  for (const auto& [path, content] : after)
    if (!before.count(path) && !allowed.count(path)) ADD_FAILURE() << path << " appeared";
  if (c.takesNoLock && !before.count("kelvor.lock")) {
    EXPECT_EQ(after.count("kelvor.lock"), 0u) << "the lock was taken";
  }
  if (!c.reportLacks.empty() && after.count(kReport)) {
    EXPECT_EQ(after.at(kReport).find(c.reportLacks), std::string::npos) << after.at(kReport);
  }
  // A run that stops before its banner leaves the earlier report as it was.
  if (c.options.stdoutTo.empty() && !c.options.closedPipe && !c.options.closedStandard &&
      r.out.find(kBanner) == std::string::npos && before.count(kReport) && after.count(kReport)) {
    EXPECT_EQ(after.at(kReport), before.at(kReport));
  }
}

INSTANTIATE_TEST_SUITE_P(Table, BadInput, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// A run killed among the renames of a save leaves the rest of the new set in its temporaries:
// the set must still read whole, and the next save must take it from there.
TEST(InterruptedSave, ASetStoppedAmongItsRenamesReadsWholeAndTheNextSaveFinishesIt) {
  ScratchDir dir;
  test::InDirectory in(dir.path());
  auto net = [](double phase) {
    Network n;
    for (std::size_t i = 0; i < n.wei1.size(); ++i) n.wei1[i] = std::sin(static_cast<double>(i) + phase);
    for (std::size_t i = 0; i < n.wei2.size(); ++i) n.wei2[i] = std::cos(static_cast<double>(i) + phase);
    for (std::size_t i = 0; i < n.pwei.size(); ++i) n.pwei[i] = 0.5 * std::sin(static_cast<double>(i) * phase);
    return n;
  };
  const Network older = net(0.25), newer = net(0.5), newest = net(0.75);
  outwei(older, 0);
  // The save of `newer` stopped after its first rename.
  writeFile("fort.77", formatFirstStage77(newer));
  writeFile("fort.78.part", formatFirstStage78(newer));
  writeFile("fort.79.part", formatFirstStage79(newer));
  writeFile("fort.77.commit", "");
  const auto left = snapshot(".");
  Network loaded;
  readwei(loaded, 0);
  // Formatting what was read gives back the saved text: the values are the new set's.
  EXPECT_EQ(formatFirstStage78(loaded), formatFirstStage78(newer));
  EXPECT_EQ(formatFirstStage79(loaded), formatFirstStage79(newer));
  EXPECT_EQ(formatFirstStage77(loaded), formatFirstStage77(newer));
  EXPECT_EQ(snapshot("."), left) << "reading changed the directory";

  outwei(newest, 0);
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(".")) names.insert(e.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"fort.77", "fort.78", "fort.79"}));
  EXPECT_EQ(readFile("fort.78"), formatFirstStage78(newest));

  // Temporaries without the mark are a save stopped while writing them: they are not read.
  writeFile("fort.78.part", " 0.5\n");
  readwei(loaded, 0);
  EXPECT_EQ(formatFirstStage78(loaded), formatFirstStage78(newest));
}

TEST(BadInputTable, HoldsAtLeastFortyDistinctBadInputs) {
  std::set<std::string> names;
  int bad = 0;
  for (const Case& c : cases()) {
    EXPECT_TRUE(names.insert(c.name).second) << c.name;
    if (c.name.rfind("nothing_wrong", 0) != 0) ++bad;
  }
  EXPECT_GE(bad, 40);
}

}  // namespace
}  // namespace kelvor
