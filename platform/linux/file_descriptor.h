// A file descriptor owned by one object, and a bounded wait on one.
#pragma once

#include <time.h>

#include <chrono>
#include <utility>

namespace platform::linux_os {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { Close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now; 0 or the errno a delayed write may only show here.
  int Close();

 private:
  int fd_;
};

// `duration` as the timespec of ppoll and gai_suspend.
timespec TimespecOf(std::chrono::steady_clock::duration duration);

// Waits until `fd` has one of `events` (poll's) or `deadline` passes; the
// events that came, or 0.
short WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline);

}  // namespace platform::linux_os
