// The real Linux network-awareness service. Echoes go only to loopback or to
// network namespaces these tests create: a forked child enters namespaces of
// its own, does its work there and reports back a line of text.
#include "platform/network_awareness.h"

#include <errno.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>

#include "platform/linux/network_answer.h"

namespace {

using namespace std::chrono_literals;
using platform::linux_os::Clock;
using platform::linux_os::EchoOutcome;
using platform::linux_os::EchoWay;
using platform::linux_os::SystemNetworkProbe;

struct Answer {
  std::string failure;
  bool reachable;
  std::uint32_t inSpeed, outSpeed;
};

Answer Ask(const std::string& destination) {
  platform::QOCINFO record{5, 0, 0, 0};
  bool reachable = false;
  platform::Status asked =
      platform::SystemNetworkAwareness().IsDestinationReachable(destination, record, reachable);
  return {asked.ok() ? "" : asked.message(), reachable, record.dwInSpeed, record.dwOutSpeed};
}

std::string Said(const Answer& answer) {
  if (!answer.failure.empty()) return "failed: " + answer.failure;
  return answer.reachable ? "reachable" : "not reachable";
}

std::string Said(EchoOutcome outcome) {
  switch (outcome) {
    case EchoOutcome::kReply: return "reply";
    case EchoOutcome::kSilence: return "silence";
    case EchoOutcome::kError: return "error";
    case EchoOutcome::kUnavailable: return "unavailable";
  }
  return "?";
}

std::string EchoBy(EchoWay way, const std::string& address) {
  return Said(SystemNetworkProbe().SendEcho(way, address, 56, Clock::now() + 1s).outcome);
}

bool HasIpv6Loopback() { return SystemNetworkProbe().RouteInterface("::1").has_value(); }

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream file(path);
  file << text;
  file.close();
  return !file.fail();
}

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

// Enters a network namespace of our own (and a user namespace where only
// that allows it), with sysfs mounted afresh: /sys/class/net shows the
// interfaces of the namespace that mounted it. Returns why it cannot, or "".
std::string EnterOwnNetwork() {
  if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) {
    std::string uid = std::to_string(geteuid()), gid = std::to_string(getegid());
    if (unshare(CLONE_NEWUSER | CLONE_NEWNET | CLONE_NEWNS) != 0) {
      return SystemError("this machine forbids network namespaces (unshare)");
    }
    if (!WriteFile("/proc/self/setgroups", "deny") ||
        !WriteFile("/proc/self/uid_map", "0 " + uid + " 1") ||
        !WriteFile("/proc/self/gid_map", "0 " + gid + " 1")) {
      return SystemError("this machine forbids user namespace mappings");
    }
  }
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      mount("sysfs", "/sys", "sysfs", 0, nullptr) != 0) {
    return SystemError("this machine forbids mounting sysfs in a namespace");
  }
  return "";
}

struct ChildReport {
  std::string skipped;  // why the child could not do its work
  std::string text;
};

std::string ReadAll(int fd) {
  std::string text;
  std::array<char, 256> chunk;
  ssize_t size;
  while ((size = read(fd, chunk.data(), chunk.size())) > 0) text.append(chunk.data(), size);
  return text;
}

void WriteAll(int fd, const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    ssize_t size = write(fd, text.data() + written, text.size() - written);
    if (size <= 0) return;
    written += static_cast<std::size_t>(size);
  }
}

constexpr std::string_view kSkip = "SKIP: ";

// Runs `body` in a child process inside its own network namespace.
ChildReport InOwnNetwork(const std::function<std::string()>& body) {
  std::array<int, 2> pipeEnds{};
  if (pipe(pipeEnds.data()) != 0) return {SystemError("pipe"), ""};
  std::cout.flush();
  pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    std::string why = EnterOwnNetwork();
    WriteAll(pipeEnds[1], why.empty() ? body() : std::string(kSkip) + why);
    _exit(0);
  }
  close(pipeEnds[1]);
  std::string report = ReadAll(pipeEnds[0]);
  close(pipeEnds[0]);
  waitpid(child, nullptr, 0);
  if (report.starts_with(kSkip)) return {report.substr(kSkip.size()), ""};
  return {"", report};
}

// A second namespace joined to the child's by a veth pair: the child is
// 198.51.100.1 on "ra", the peer 198.51.100.2 on "rb".
class Peer {
 public:
  Peer() {
    std::array<int, 2> ready{};
    if (pipe(ready.data()) != 0 || pipe(release_.data()) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(release_[1]);
      if (unshare(CLONE_NEWNET) != 0) _exit(1);
      WriteAll(ready[1], "x");
      close(ready[1]);
      ReadAll(release_[0]);  // until the child closes its end
      _exit(0);
    }
    close(ready[1]);
    close(release_[0]);
    bool entered = ReadAll(ready[0]) == "x";
    close(ready[0]);
    std::string pid = std::to_string(pid_);
    joined_ = entered && Shell("ip link add ra type veth peer name rb netns " + pid) &&
              Shell("ip addr add 198.51.100.1/24 dev ra && ip link set ra up") &&
              ShellThere("ip addr add 198.51.100.2/24 dev rb && ip link set rb up");
  }
  ~Peer() {
    close(release_[1]);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  bool joined() const { return joined_; }
  bool ShellThere(const std::string& command) {
    return Shell("nsenter --net=/proc/" + std::to_string(pid_) + "/ns/net sh -c '" + command + "'");
  }

 private:
  pid_t pid_ = -1;
  std::array<int, 2> release_{-1, -1};
  bool joined_ = false;
};

TEST(NetworkAwareness, LoopbackIsReachable) {
  std::vector<std::string> addresses{"127.0.0.1"};
  if (HasIpv6Loopback()) {
    addresses.push_back("::1");
  } else {
    std::cout << "::1 is left out: this machine has no IPv6 loopback\n";
  }
  for (const std::string& address : addresses) {
    Answer answer = Ask(address);
    EXPECT_EQ(Said(answer), "reachable") << address;
    EXPECT_EQ(answer.inSpeed, answer.outSpeed) << address;
    std::cout << address << ": " << answer.inSpeed << " bytes/s\n";
  }
}

TEST(NetworkAwareness, LoopbackDownHasNoRouteAndIsNotReachable) {
  ChildReport report = InOwnNetwork([] {
    bool routed = SystemNetworkProbe().RouteInterface("127.0.0.1").has_value();
    return std::string(routed ? "routed, " : "no route, ") + Said(Ask("127.0.0.1"));
  });
  if (!report.skipped.empty()) GTEST_SKIP() << report.skipped;
  EXPECT_EQ(report.text, "no route, not reachable");
}

TEST(NetworkAwareness, APeerThatIgnoresEchoesIsNotReachableWithinTheBound) {
  ChildReport report = InOwnNetwork([] {
    Peer peer;
    if (!Shell("ip link set lo up") || !peer.joined()) return std::string(kSkip) + "no veth pair";
    Answer answering = Ask("198.51.100.2");
    if (!peer.ShellThere("echo 1 > /proc/sys/net/ipv4/icmp_echo_ignore_all")) {
      return std::string(kSkip) + "icmp_echo_ignore_all cannot be set";
    }
    Clock::time_point start = Clock::now();
    Answer ignoring = Ask("198.51.100.2");
    // The second of slack covers only the scheduler: the service stops
    // waiting at its own deadline.
    bool inTime = Clock::now() - start < platform::linux_os::kAnswerBound + 1s;
    return Said(answering) + " at " + std::to_string(answering.inSpeed) + ", then " +
           Said(ignoring) + (inTime ? " in time" : " too late");
  });
  if (!report.skipped.empty()) GTEST_SKIP() << report.skipped;
  // A veth link says 10000 Mbit/s.
  EXPECT_EQ(report.text, "reachable at 1250000000, then not reachable in time");
}

TEST(NetworkAwareness, PingSocketsAnswerWherePingGroupRangeAllows) {
  ChildReport report = InOwnNetwork([] {
    if (!Shell("ip link set lo up")) return std::string(kSkip) + "lo cannot be set up";
    std::string text = "before: " + EchoBy(EchoWay::kPingSocket, "127.0.0.1");
    if (!WriteFile("/proc/sys/net/ipv4/ping_group_range", "0 0")) {
      return std::string(kSkip) + "ping_group_range cannot be set";
    }
    text += ", after: " + EchoBy(EchoWay::kPingSocket, "127.0.0.1");
    if (HasIpv6Loopback()) text += " " + EchoBy(EchoWay::kPingSocket, "::1");
    return text + ", " + Said(Ask("127.0.0.1"));
  });
  if (!report.skipped.empty()) GTEST_SKIP() << report.skipped;
  EXPECT_TRUE(report.text == "before: unavailable, after: reply reply, reachable" ||
              report.text == "before: unavailable, after: reply, reachable")
      << report.text;
}

TEST(NetworkAwareness, AnOrdinaryUserEchoesThroughThePingProgram) {
  if (geteuid() != 0) GTEST_SKIP() << "acting as an ordinary user needs root";
  ChildReport report = InOwnNetwork([] {
    constexpr uid_t kNobody = 65534;
    if (!Shell("ip link set lo up")) return std::string(kSkip) + "lo cannot be set up";
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
      return std::string(kSkip) + SystemError("cannot become nobody");
    }
    return EchoBy(EchoWay::kPingSocket, "127.0.0.1") + " " +
           EchoBy(EchoWay::kRawSocket, "127.0.0.1") + " " +
           EchoBy(EchoWay::kPingProgram, "127.0.0.1") + ", " + Said(Ask("127.0.0.1"));
  });
  if (!report.skipped.empty()) GTEST_SKIP() << report.skipped;
  EXPECT_EQ(report.text, "unavailable unavailable reply, reachable");
}

TEST(NetworkAwareness, NamesAreResolvedAndAnUnknownOneIsNotReachable) {
  // Inside a namespace with nothing but loopback no query can leave the machine.
  ChildReport report = InOwnNetwork([] {
    if (!Shell("ip link set lo up")) return std::string(kSkip) + "lo cannot be set up";
    return Said(Ask("localhost")) + ", " + Said(Ask("no-such-host.invalid")) + ", " + Said(Ask(""));
  });
  if (!report.skipped.empty()) GTEST_SKIP() << report.skipped;
  EXPECT_EQ(report.text, "reachable, not reachable, not reachable");
}

}  // namespace
