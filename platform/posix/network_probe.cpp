// The Linux probe: getaddrinfo_a for names, a connected UDP socket for the
// route, sysfs for the link speed, and ICMP echoes through a ping socket, a
// raw socket or ping(8), whichever this process may use.
#include "platform/posix/network_probe.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <fstream>
#include <memory>
#include <string_view>

namespace platform::posix {
namespace {

using namespace std::chrono_literals;

// ping(8) from iputils, which Debian installs with the capability to send
// echoes that an ordinary user's process lacks.
constexpr const char* kPingProgram = "/bin/ping";

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;

  int family() const { return storage.ss_family; }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

void SetPort(SocketAddress& address, std::uint16_t port) {
  if (address.family() == AF_INET6) {
    reinterpret_cast<sockaddr_in6*>(&address.storage)->sin6_port = htons(port);
  } else {
    reinterpret_cast<sockaddr_in*>(&address.storage)->sin_port = htons(port);
  }
}

std::optional<SocketAddress> ParseNumeric(const std::string& address) {
  addrinfo hints{};
  hints.ai_flags = AI_NUMERICHOST;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(address.c_str(), nullptr, &hints, &found) != 0) return std::nullopt;
  SocketAddress parsed;
  std::memcpy(&parsed.storage, found->ai_addr, found->ai_addrlen);
  parsed.length = found->ai_addrlen;
  freeaddrinfo(found);
  return parsed;
}

std::string NumericText(const sockaddr* address, socklen_t length) {
  std::array<char, NI_MAXHOST> host{};
  if (getnameinfo(address, length, host.data(), host.size(), nullptr, 0, NI_NUMERICHOST) != 0) {
    return {};
  }
  return host.data();
}

std::vector<std::string> NumericTexts(const addrinfo* list) {
  std::vector<std::string> texts;
  for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) continue;
    std::string text = NumericText(entry->ai_addr, entry->ai_addrlen);
    if (!text.empty() && std::find(texts.begin(), texts.end(), text) == texts.end()) {
      texts.push_back(text);
    }
  }
  return texts;
}

timespec ToTimespec(Clock::duration duration) {
  auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count();
  return {static_cast<time_t>(nanoseconds / 1'000'000'000),
          static_cast<long>(nanoseconds % 1'000'000'000)};
}

// Waits for `events` on `fd` until `deadline`; the events that came, or 0.
short WaitFor(int fd, short events, Clock::time_point deadline) {
  while (true) {
    Clock::duration left = deadline - Clock::now();
    if (left <= 0s) return 0;
    pollfd watched{fd, events, 0};
    timespec timeout = ToTimespec(left);
    int ready = ppoll(&watched, 1, &timeout, nullptr);
    if (ready > 0) return watched.revents;
    if (ready == 0 || errno != EINTR) return 0;
  }
}

// A name looked up by glibc's resolver threads. The request must stay alive
// as long as a thread works on it, even after we stop waiting.
struct Lookup {
  explicit Lookup(std::string destination) : name(std::move(destination)) {
    hints.ai_socktype = SOCK_DGRAM;
    request.ar_name = name.c_str();
    request.ar_request = &hints;
  }
  ~Lookup() {
    if (request.ar_result != nullptr) freeaddrinfo(request.ar_result);
  }
  Lookup(const Lookup&) = delete;
  Lookup& operator=(const Lookup&) = delete;

  std::string name;
  addrinfo hints{};
  gaicb request{};
};

constexpr std::uint8_t kEchoRequestV4 = 8, kEchoReplyV4 = 0;
constexpr std::uint8_t kEchoRequestV6 = 128, kEchoReplyV6 = 129;
constexpr std::size_t kIcmpHeaderSize = 8;

// The Internet checksum (RFC 1071), which only an IPv4 raw socket leaves to us.
std::uint16_t InternetChecksum(const std::vector<std::uint8_t>& bytes) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    std::uint32_t high = bytes[i];
    std::uint32_t low = i + 1 < bytes.size() ? bytes[i + 1] : 0;
    sum += (high << 8) | low;
  }
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

struct EchoIds {
  std::uint16_t identifier;
  std::uint16_t sequence;
};

std::vector<std::uint8_t> EchoRequest(bool ipv6, bool withChecksum, EchoIds ids, int payload) {
  std::vector<std::uint8_t> packet(kIcmpHeaderSize + static_cast<std::size_t>(payload));
  packet[0] = ipv6 ? kEchoRequestV6 : kEchoRequestV4;
  packet[4] = static_cast<std::uint8_t>(ids.identifier >> 8);
  packet[5] = static_cast<std::uint8_t>(ids.identifier);
  packet[6] = static_cast<std::uint8_t>(ids.sequence >> 8);
  packet[7] = static_cast<std::uint8_t>(ids.sequence);
  for (std::size_t i = kIcmpHeaderSize; i < packet.size(); ++i) {
    packet[i] = static_cast<std::uint8_t>(i);
  }
  if (withChecksum) {
    std::uint16_t checksum = InternetChecksum(packet);
    packet[2] = static_cast<std::uint8_t>(checksum >> 8);
    packet[3] = static_cast<std::uint8_t>(checksum);
  }
  return packet;
}

std::uint16_t Read16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

// A ping socket hands over the ICMP message with an identifier of the
// kernel's choosing; an IPv4 raw socket hands over the IP header as well.
bool IsReplyTo(const std::vector<std::uint8_t>& received, std::size_t size, bool ipv6, bool raw,
               EchoIds ids) {
  std::size_t start = raw && !ipv6 && size > 0 ? (received[0] & 0x0F) * 4u : 0;
  if (size < start + kIcmpHeaderSize) return false;
  const std::uint8_t* icmp = received.data() + start;
  if (icmp[0] != (ipv6 ? kEchoReplyV6 : kEchoReplyV4) || icmp[1] != 0) return false;
  if (Read16(icmp + 6) != ids.sequence) return false;
  return !raw || Read16(icmp + 4) == ids.identifier;
}

Echo AwaitReply(int fd, bool ipv6, bool raw, EchoIds ids, Clock::time_point sent,
                Clock::time_point deadline) {
  std::vector<std::uint8_t> received(65536 + 64);
  while (true) {
    short events = WaitFor(fd, POLLIN, deadline);
    if (events == 0) return {EchoOutcome::kSilence};
    // IP_RECVERR queues an ICMP error about our request on the socket.
    if (events & POLLERR) return {EchoOutcome::kError};
    ssize_t size = recv(fd, received.data(), received.size(), MSG_DONTWAIT);
    if (size < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (size < 0) return {EchoOutcome::kError};
    if (IsReplyTo(received, static_cast<std::size_t>(size), ipv6, raw, ids)) {
      return {EchoOutcome::kReply, Clock::now() - sent};
    }
  }
}

EchoIds NextEchoIds() {
  static std::uint16_t sequence = 0;
  return {static_cast<std::uint16_t>(getpid()), ++sequence};
}

Echo SocketEcho(bool raw, const SocketAddress& target, int payload, Clock::time_point deadline) {
  bool ipv6 = target.family() == AF_INET6;
  int type = (raw ? SOCK_RAW : SOCK_DGRAM) | SOCK_CLOEXEC;
  int protocol = ipv6 ? int{IPPROTO_ICMPV6} : int{IPPROTO_ICMP};
  FileDescriptor fd(socket(target.family(), type, protocol));
  // EACCES for a ping socket outside net.ipv4.ping_group_range, EPERM for a
  // raw socket without CAP_NET_RAW.
  if (!fd.valid()) return {EchoOutcome::kUnavailable};
  int on = 1;
  if (ipv6) {
    setsockopt(fd.get(), SOL_IPV6, IPV6_RECVERR, &on, sizeof on);
  } else {
    setsockopt(fd.get(), SOL_IP, IP_RECVERR, &on, sizeof on);
  }
  if (connect(fd.get(), target.get(), target.length) != 0) return {EchoOutcome::kError};

  EchoIds ids = NextEchoIds();
  std::vector<std::uint8_t> request = EchoRequest(ipv6, raw && !ipv6, ids, payload);
  Clock::time_point sent = Clock::now();
  if (send(fd.get(), request.data(), request.size(), 0) < 0) return {EchoOutcome::kError};
  return AwaitReply(fd.get(), ipv6, raw, ids, sent, deadline);
}

// The round trip ping(8) prints as "time=0.045 ms", or 0.
std::chrono::nanoseconds PrintedRoundTrip(std::string_view output) {
  std::size_t at = output.find("time=");
  if (at == std::string_view::npos) return 0ns;
  std::string_view number = output.substr(at + 5);
  double milliseconds = 0;
  std::from_chars(number.data(), number.data() + number.size(), milliseconds);
  return std::chrono::nanoseconds(static_cast<std::int64_t>(milliseconds * 1e6));
}

class PingSpawn {
 public:
  PingSpawn() { posix_spawn_file_actions_init(&actions_); }
  ~PingSpawn() { posix_spawn_file_actions_destroy(&actions_); }
  PingSpawn(const PingSpawn&) = delete;
  PingSpawn& operator=(const PingSpawn&) = delete;

  // Starts ping(8) with its output into `outputFd`; false when it cannot.
  bool Start(std::vector<std::string> args, int outputFd) {
    posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions_, outputFd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions_, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    // The C locale keeps the "time=" it prints readable here.
    std::array<char*, 2> environment{const_cast<char*>("LC_ALL=C"), nullptr};
    return posix_spawn(&pid_, kPingProgram, &actions_, nullptr, argv.data(), environment.data()) ==
           0;
  }

  // Its exit status, or -1 when it did not exit of itself.
  int Wait(bool kill) {
    if (kill) ::kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  posix_spawn_file_actions_t actions_;
  pid_t pid_ = 0;
};

Echo ProgramEcho(const std::string& address, bool ipv6, int payload, Clock::time_point deadline) {
  std::array<int, 2> pipeEnds{};
  if (pipe2(pipeEnds.data(), O_CLOEXEC) != 0) return {EchoOutcome::kUnavailable};
  FileDescriptor readEnd(pipeEnds[0]);
  PingSpawn ping;
  {
    FileDescriptor writeEnd(pipeEnds[1]);
    if (!ping.Start({"ping", "-n", "-c", "1", "-W", "1", "-s", std::to_string(payload),
                     ipv6 ? "-6" : "-4", address},
                    writeEnd.get())) {
      return {EchoOutcome::kUnavailable};
    }
  }
  std::string output;
  bool finished = false;
  std::array<char, 512> chunk;
  while (!finished && WaitFor(readEnd.get(), POLLIN, deadline) != 0) {
    ssize_t size = read(readEnd.get(), chunk.data(), chunk.size());
    if (size < 0 && errno == EINTR) continue;
    if (size <= 0) finished = true;
    if (size > 0 && output.size() < 4096)
      output.append(chunk.data(), static_cast<std::size_t>(size));
  }
  int status = ping.Wait(!finished);
  if (!finished) return {EchoOutcome::kSilence};
  if (status == 0) return {EchoOutcome::kReply, PrintedRoundTrip(output)};
  // 1: no reply; anything else: ping itself could not work here.
  return {status == 1 ? EchoOutcome::kSilence : EchoOutcome::kUnavailable};
}

class LinuxNetworkProbe final : public NetworkProbe {
 public:
  Clock::time_point Now() override { return Clock::now(); }

  std::vector<std::string> Resolve(const std::string& destination,
                                   Clock::time_point deadline) override {
    std::erase_if(unfinished_, [](const std::unique_ptr<Lookup>& lookup) {
      return gai_error(&lookup->request) != EAI_INPROGRESS;
    });
    std::optional<SocketAddress> numeric = ParseNumeric(destination);
    if (numeric) return {NumericText(numeric->get(), numeric->length)};
    return LookUp(destination, deadline);
  }

  std::optional<std::string> RouteInterface(const std::string& address) override {
    std::optional<SocketAddress> target = ParseNumeric(address);
    if (!target) return std::nullopt;
    // Connecting a UDP socket asks the routing table and sends nothing.
    FileDescriptor udp(socket(target->family(), SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!udp.valid()) return std::nullopt;
    SetPort(*target, 9);
    if (connect(udp.get(), target->get(), target->length) != 0) return std::nullopt;
    SocketAddress local;
    local.length = sizeof local.storage;
    if (getsockname(udp.get(), reinterpret_cast<sockaddr*>(&local.storage), &local.length) != 0) {
      return std::string();
    }
    return InterfaceHolding(local);
  }

  std::int64_t LinkSpeed(const std::string& interface) override {
    if (interface.empty() || interface.find('/') != std::string::npos || interface[0] == '.') {
      return 0;
    }
    // Virtual links such as loopback refuse to tell (EINVAL); a link that is
    // down says -1.
    std::ifstream file("/sys/class/net/" + interface + "/speed");
    std::int64_t mbits = 0;
    if (!(file >> mbits) || mbits < 0) return 0;
    return mbits;
  }

  Echo SendEcho(EchoWay way, const std::string& address, int payloadBytes,
                Clock::time_point deadline) override {
    std::optional<SocketAddress> target = ParseNumeric(address);
    if (!target) return {EchoOutcome::kError};
    switch (way) {
      case EchoWay::kPingSocket: return SocketEcho(false, *target, payloadBytes, deadline);
      case EchoWay::kRawSocket: return SocketEcho(true, *target, payloadBytes, deadline);
      case EchoWay::kPingProgram:
        return ProgramEcho(address, target->family() == AF_INET6, payloadBytes, deadline);
    }
    return {EchoOutcome::kUnavailable};
  }

 private:
  std::vector<std::string> LookUp(const std::string& destination, Clock::time_point deadline) {
    auto lookup = std::make_unique<Lookup>(destination);
    std::array<gaicb*, 1> requests{&lookup->request};
    if (getaddrinfo_a(GAI_NOWAIT, requests.data(), 1, nullptr) != 0) return {};
    while (gai_error(&lookup->request) == EAI_INPROGRESS && Clock::now() < deadline) {
      timespec timeout = ToTimespec(deadline - Clock::now());
      gai_suspend(requests.data(), 1, &timeout);
    }
    int status = gai_error(&lookup->request);
    if (status == EAI_INPROGRESS) {
      // A resolver thread still holds the request: keep it until it is done.
      if (gai_cancel(&lookup->request) == EAI_NOTCANCELED) unfinished_.push_back(std::move(lookup));
      return {};
    }
    if (status != 0) return {};
    return NumericTexts(lookup->request.ar_result);
  }

  static std::string InterfaceHolding(const SocketAddress& local) {
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) return {};
    std::string localText = NumericText(local.get(), local.length);
    std::string name;
    for (const ifaddrs* entry = interfaces; entry != nullptr && name.empty();
         entry = entry->ifa_next) {
      if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != local.family()) continue;
      socklen_t length = local.family() == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
      if (NumericText(entry->ifa_addr, length) == localText) name = entry->ifa_name;
    }
    freeifaddrs(interfaces);
    return name;
  }

  std::vector<std::unique_ptr<Lookup>> unfinished_;
};

}  // namespace

NetworkProbe& SystemNetworkProbe() {
  static LinuxNetworkProbe probe;
  return probe;
}

}  // namespace platform::posix
