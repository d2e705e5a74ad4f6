#include "platform/process/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace process {

void OpenStandardStreams() noexcept {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lower descriptors are open by now, so open() gives exactly this one.
    const int got = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (got != fd && got >= 0) {
      ::dup2(got, fd);
      ::close(got);
    }
  }
}

}  // namespace process
