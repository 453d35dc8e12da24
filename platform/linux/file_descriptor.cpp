#include "platform/linux/file_descriptor.h"

#include <errno.h>
#include <poll.h>
#include <unistd.h>

namespace platform::linux_os {

timespec TimespecOf(std::chrono::steady_clock::duration duration) {
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count();
  return {static_cast<time_t>(nanoseconds / 1'000'000'000),
          static_cast<long>(nanoseconds % 1'000'000'000)};
}

int FileDescriptor::Close() {
  if (fd_ < 0) return 0;
  return close(std::exchange(fd_, -1)) == 0 ? 0 : errno;
}

short WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
  while (true) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return 0;
    pollfd watched{fd, events, 0};
    const timespec timeout = TimespecOf(left);
    const int ready = ppoll(&watched, 1, &timeout, nullptr);
    if (ready > 0) return watched.revents;
    if (ready == 0 || errno != EINTR) return 0;
  }
}

}  // namespace platform::linux_os
