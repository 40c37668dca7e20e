// The entry point every program shares (status and message per kind of error, standard output
// flushed before a message and its close checked) and the command-line reader of the tools.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "ground/activity.h"
#include "ground/command_line.h"
#include "ground/errors.h"
#include "ground/program_main.h"
#include "tests/support/test_support.h"

namespace kelvor {
namespace {

using Body = std::function<int(int, char**)>;

struct Outcome {
  int status = -1;  // exit status; 128 + N when killed by signal N
  std::string out, err;
};

enum class Stdout { kFile, kFull, kClosedPipe, kWithErr };

// Runs runProgram for the program "prog" in a child process, standard error into a file and
// standard output as `where` says (kWithErr: the same file as standard error, to see the order).
Outcome runChild(const Body& body, Stdout where = Stdout::kFile) {
  test::ScratchDir d;
  const std::string outPath = d.file("out"), errPath = d.file("err");
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGPIPE, SIG_DFL);  // as a program starts
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int out = -1;
    if (where == Stdout::kFile) out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (where == Stdout::kFull) out = ::open("/dev/full", O_WRONLY);
    if (where == Stdout::kWithErr) out = err;
    if (where == Stdout::kClosedPipe) {
      int fds[2];
      if (::pipe(fds) != 0) ::_exit(99);
      ::close(fds[0]);
      out = fds[1];
    }
    if (err < 0 || out < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(99);
    std::setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);  // as on a file, whatever the parent's was
    char name[] = "prog";
    char* argv[] = {name, nullptr};
    ::_exit(runProgram({"prog", tryHelpHint("prog")}, 1, argv, body));
  }
  int wstatus = 0;
  EXPECT_EQ(::waitpid(pid, &wstatus, 0), pid);
  Outcome o;
  o.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  o.out = where == Stdout::kFile ? test::readFile(outPath) : "";
  o.err = test::readFile(errPath);
  return o;
}

template <class E>
Body throwing(const char* what) {
  return [what](int, char**) -> int { throw E(what); };
}

TEST(ProgramMain, EveryKindOfErrorHasItsStatusAndOneMessage) {
  struct Case {
    const char* kind;
    Body body;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {"usage", throwing<UsageError>("unknown option -q"), kExitUsage, "prog: unknown option -q\nTry 'prog --help'.\n"},
      {"configuration", throwing<ConfigError>("gain 0 below 0.01"), kExitUsage, "prog: gain 0 below 0.01\n"},
      {"file", [](int, char**) -> int { throw FileError("a.list", 3, "cannot read"); }, kExitFile,
       "prog: file \"a.list\", line 3: cannot read\n"},
      {"input", throwing<InputError>("file \"x\", line 2: letter Q"), kExitData,
       "prog: file \"x\", line 2: letter Q\n"},
      {"training", throwing<TrainingError>("weights not finite"), kExitData, "prog: weights not finite\n"},
      {"data stop", throwing<DataStop>("said on standard output"), kExitData, ""},
      {"busy", throwing<BusyError>("another run holds it"), kExitBusy, "prog: another run holds it\n"},
      {"too large", throwing<MemoryError>("needs 9 GiB"), kExitMemory, "prog: needs 9 GiB\n"},
      {"out of memory",
       [](int, char**) -> int {
         Activity a("reading the data set");
         throw std::bad_alloc();
       },
       kExitMemory, "prog: out of memory while reading the data set\n"},
      // The innermost activity when the failure came, not one that had ended before it.
      {"out of memory after an inner activity",
       [](int, char**) -> int {
         Activity a("reading the data set");
         { Activity inner("reading \"x.mat\""); }
         throw std::bad_alloc();
       },
       kExitMemory, "prog: out of memory while reading the data set\n"},
      {"out of memory in an inner activity",
       [](int, char**) -> int {
         Activity a("reading the data set");
         Activity inner("reading \"x.mat\"");
         throw std::bad_alloc();
       },
       kExitMemory, "prog: out of memory while reading \"x.mat\"\n"},
      {"anything else", throwing<std::runtime_error>("odd"), kExitFile, "prog: odd\n"},
      {"done", [](int, char**) { return 0; }, kExitOk, ""},
      {"a status of its own", [](int, char**) { return 3; }, 3, ""},
  };
  for (const Case& c : cases) {
    const Outcome o = runChild(c.body);
    EXPECT_EQ(o.status, c.status) << c.kind;
    EXPECT_EQ(o.err, c.err) << c.kind;
    EXPECT_EQ(o.out, "") << c.kind;
  }
}

TEST(ProgramMain, StandardOutputComesBeforeTheMessage) {
  // Unflushed output (no line end) must not follow the message in a file both go to.
  const Outcome o = runChild(
      [](int, char**) -> int {
        std::fputs("half a line", stdout);
        throw FileError("w.77", 0, "cannot write: disk full");
      },
      Stdout::kWithErr);
  EXPECT_EQ(o.status, kExitFile);
  EXPECT_EQ(o.err, "half a lineprog: file \"w.77\": cannot write: disk full\n");

  const Outcome u = runChild(
      [](int, char**) -> int {
        std::fputs("read 3 chains\n", stdout);
        throw UsageError("bad");
      },
      Stdout::kWithErr);
  EXPECT_EQ(u.err, "read 3 chains\nprog: bad\nTry 'prog --help'.\n");
}

TEST(ProgramMain, AStandardOutputThatCannotBeWrittenIsReported) {
  auto writes = [](int status) {
    return [status](int, char**) {
      std::fputs("a line\n", stdout);
      return status;
    };
  };
  Outcome o = runChild(writes(0), Stdout::kFull);
  EXPECT_EQ(o.status, kExitFile);
  EXPECT_EQ(o.err, "prog: file \"standard output\": cannot write: disk full\n");
  // A status of the body's own is replaced: the lines it stands on are lost.
  o = runChild(writes(3), Stdout::kFull);
  EXPECT_EQ(o.status, kExitFile);
  // No signal: the closed pipe is an error with a message.
  o = runChild(writes(0), Stdout::kClosedPipe);
  EXPECT_EQ(o.status, kExitFile);
  EXPECT_NE(o.err.find("standard output"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("Broken pipe"), std::string::npos) << o.err;
  // A stop's report lines are all it says: losing them is a file error too.
  o = runChild(
      [](int, char**) -> int {
        std::fputs("stop: chain 4 disagrees\n", stdout);
        throw DataStop("stop");
      },
      Stdout::kFull);
  EXPECT_EQ(o.status, kExitFile);
  EXPECT_EQ(o.err, "prog: file \"standard output\": cannot write: disk full\n");
  // Written to a file, the same stop keeps its own status.
  o = runChild([](int, char**) -> int {
    std::fputs("stop: chain 4 disagrees\n", stdout);
    throw DataStop("stop");
  });
  EXPECT_EQ(o.status, kExitData);
  EXPECT_EQ(o.out, "stop: chain 4 disagrees\n");
  EXPECT_EQ(o.err, "");
}

TEST(ProgramMain, ClosedStandardDescriptorsAreNotGivenToFilesTheProgramOpens) {
  test::ScratchDir d;
  const std::string path = d.file("opened");
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(0);
    ::close(1);
    char name[] = "prog";
    char* argv[] = {name, nullptr};
    ::_exit(runProgram({"prog", ""}, 1, argv, [&path](int, char**) {
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
      return fd > 2 ? 0 : 7;
    }));
  }
  int wstatus = 0;
  ASSERT_EQ(::waitpid(pid, &wstatus, 0), pid);
  ASSERT_TRUE(WIFEXITED(wstatus));
  EXPECT_EQ(WEXITSTATUS(wstatus), 0);
}

// The options a CommandLine saw, one "name[=value]" a step.
std::vector<std::string> steps(std::vector<const char*> args, const std::vector<std::string>& valued) {
  args.insert(args.begin(), "prog");
  CommandLine c(static_cast<int>(args.size()), args.data());
  std::vector<std::string> seen;
  while (c.next()) {
    bool takes = false;
    for (const std::string& v : valued) takes = takes || c.arg() == v;
    if (c.is("--")) {
      for (const std::string& r : c.rest()) seen.push_back("rest " + r);
    } else if (takes) {
      seen.push_back(c.arg() + "=" + c.value());
    } else {
      seen.push_back(c.arg());
    }
  }
  return seen;
}

TEST(CommandLineReader, ValuesFollowOrComeAfterAnEqualsSign) {
  using V = std::vector<std::string>;
  EXPECT_EQ(steps({"-w", "a", "--weights=b", "--weights", "c=d", "x"}, {"-w", "--weights"}),
            (V{"-w=a", "--weights=b", "--weights=c=d", "x"}));
  // Only long options split at '='; the split is at the first one, and an empty value counts.
  EXPECT_EQ(steps({"-o=x", "--list==a=b", "--list="}, {"--list"}), (V{"-o=x", "--list==a=b", "--list="}));
  // A value is taken as it is, even when it looks like an option; "--" hands over the rest.
  EXPECT_EQ(steps({"-l", "--help", "--", "-x", "--y=1"}, {"-l"}), (V{"-l=--help", "rest -x", "rest --y=1"}));
  EXPECT_EQ(steps({}, {}), V{});
}

TEST(CommandLineReader, AMissingOrUnwantedValueIsAUsageErrorNamingTheOption) {
  const char* argv[] = {"prog", "--scores=yes", "--list"};
  CommandLine c(3, argv);
  ASSERT_TRUE(c.next());
  EXPECT_TRUE(c.valueFollows());
  try {
    c.flag();
    ADD_FAILURE() << "a value on a flag";
  } catch (const UsageError& e) {
    EXPECT_STREQ(e.what(), "option --scores takes no value");
  }
  ASSERT_TRUE(c.next());
  EXPECT_FALSE(c.valueFollows());
  EXPECT_STREQ(c.given(), "--list");
  try {
    c.value();
    ADD_FAILURE() << "no value after the last option";
  } catch (const UsageError& e) {
    EXPECT_STREQ(e.what(), "option --list needs a value");
  }
  EXPECT_FALSE(c.next());
  // A usage error is a configuration error to code that catches those (both end with status 1).
  EXPECT_THROW(throw UsageError("x"), ConfigError);
}

}  // namespace
}  // namespace kelvor
