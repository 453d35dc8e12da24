#include "platform/linux/ping_program.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <string_view>

#include "platform/linux/file_descriptor.h"
#include "platform/linux/spawn.h"

namespace platform::linux_os {
namespace {

using namespace std::chrono_literals;

constexpr const char* kPingProgram = "/bin/ping";
constexpr std::size_t kOutputKept = 4096;

// The round trip ping(8) prints as "time=0.045 ms", or 0.
std::chrono::nanoseconds PrintedRoundTrip(std::string_view output) {
  std::size_t at = output.find("time=");
  if (at == std::string_view::npos) return 0ns;
  std::string_view number = output.substr(at + 5);
  double milliseconds = 0;
  std::from_chars(number.data(), number.data() + number.size(), milliseconds);
  return std::chrono::nanoseconds(static_cast<std::int64_t>(milliseconds * 1e6));
}

// Its exit status, or -1 when it did not exit of itself.
int Reap(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What ping prints until it ends or `deadline` passes; nullopt when it is
// still running then.
std::optional<std::string> ReadUntilEnd(int fd, Clock::time_point deadline) {
  std::string output;
  std::array<char, 512> chunk;
  while (WaitFor(fd, POLLIN, deadline) != 0) {
    ssize_t size = read(fd, chunk.data(), chunk.size());
    if (size < 0 && errno == EINTR) continue;
    if (size <= 0) return output;
    if (output.size() < kOutputKept) output.append(chunk.data(), static_cast<std::size_t>(size));
  }
  return std::nullopt;
}

}  // namespace

Echo ProgramEcho(const std::string& address, int family, int payloadBytes,
                 Clock::time_point deadline) {
  std::array<int, 2> pipeEnds{};
  if (pipe2(pipeEnds.data(), O_CLOEXEC) != 0) return {EchoOutcome::kUnavailable};
  FileDescriptor readEnd(pipeEnds[0]);
  pid_t pid = 0;
  {
    FileDescriptor writeEnd(pipeEnds[1]);
    Spawn spawn;
    spawn.WithOutputTo(writeEnd.get());
    // The C locale keeps the "time=" it prints readable here.
    std::array<char*, 2> environment{const_cast<char*>("LC_ALL=C"), nullptr};
    const std::string family4or6 = family == AF_INET6 ? "-6" : "-4";
    if (spawn.Start(kPingProgram,
                    {"ping", "-n", "-c", "1", "-W", "1", "-s", std::to_string(payloadBytes),
                     family4or6, address},
                    environment.data(), &pid) != 0) {
      return {EchoOutcome::kUnavailable};
    }
  }
  const std::optional<std::string> output = ReadUntilEnd(readEnd.get(), deadline);
  if (!output) kill(pid, SIGKILL);
  const int status = Reap(pid);
  if (!output) return {EchoOutcome::kSilence};
  if (status == 0) return {EchoOutcome::kReply, PrintedRoundTrip(*output)};
  // 1: no reply; anything else: ping itself could not work here.
  return {status == 1 ? EchoOutcome::kSilence : EchoOutcome::kUnavailable};
}

}  // namespace platform::linux_os
