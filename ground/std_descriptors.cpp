#include "ground/std_descriptors.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kelvor {

bool openStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is fd itself, since the ones below it are open.
    const int got = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (got != fd) {
      if (got >= 0) ::close(got);
      return false;
    }
  }
  return true;
}

}  // namespace kelvor
