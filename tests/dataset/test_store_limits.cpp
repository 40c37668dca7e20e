// The store's residue numbering ends at the largest 32-bit number: no room is set aside beyond
// it, and the residue after it is refused with a message saying so.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "dataset/store.h"
#include "ground/errors.h"

namespace kelvor {
namespace {

TEST(Store, ResiduesEndAtThe32BitNumbering) {
  DataStore s;
  s.reserveResidues(static_cast<long long>(kMaxResidues) + 1);  // beyond the numbering: nothing set aside
  EXPECT_EQ(s.filin.capacity(), 0u);
  s.addResidue();
  EXPECT_EQ(s.nta, 1);
  s.nta = kMaxResidues;
  try {
    s.addResidue();
    FAIL() << "no error past the last residue number";
  } catch (const ConfigError& e) {
    EXPECT_NE(std::string(e.what()).find("2147483647 residues"), std::string::npos) << e.what();
  }
}

// A store that cannot grow is out of memory (status 5), not a bad setting (status 1). Tried in a
// child process held to 2 GiB of address space.
TEST(Store, AResidueThatDoesNotFitIsOutOfMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer needs more address space than the limit leaves";
#else
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const rlimit limit{2ull << 30, 2ull << 30};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(9);
    DataStore s;
    s.nta = 300000000;  // the next residue needs some 300 GB
    try {
      s.addResidue();
    } catch (const MemoryError& e) {
      ::_exit(std::string(e.what()).find("out of memory at residue 300000001") == 0 ? 0 : 8);
    } catch (...) {
      ::_exit(7);
    }
    ::_exit(6);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "9: no limit, 8: other message, 7: other error, 6: no error";
#endif
}

}  // namespace
}  // namespace kelvor
