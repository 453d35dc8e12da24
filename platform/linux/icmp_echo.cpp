#include "platform/linux/icmp_echo.h"

#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "platform/linux/file_descriptor.h"

namespace platform::linux_os {
namespace {

constexpr std::uint8_t kEchoRequestV4 = 8, kEchoReplyV4 = 0;
constexpr std::uint8_t kEchoRequestV6 = 128, kEchoReplyV6 = 129;
constexpr std::size_t kIcmpHeaderSize = 8;

// What a kind of socket and an address family ask of an echo.
struct Channel {
  EchoSocket socket;
  bool ipv6;

  // Only an IPv4 raw socket leaves the checksum to us, and hands over the IP
  // header with a reply.
  bool rawIpv4() const { return socket == EchoSocket::kRaw && !ipv6; }
  // A ping socket puts an identifier of the kernel's choosing in the echo.
  bool keepsIdentifier() const { return socket == EchoSocket::kRaw; }
};

// The Internet checksum (RFC 1071).
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

std::vector<std::uint8_t> EchoRequest(const Channel& channel, EchoIds ids, int payload) {
  std::vector<std::uint8_t> packet(kIcmpHeaderSize + static_cast<std::size_t>(payload));
  packet[0] = channel.ipv6 ? kEchoRequestV6 : kEchoRequestV4;
  packet[4] = static_cast<std::uint8_t>(ids.identifier >> 8);
  packet[5] = static_cast<std::uint8_t>(ids.identifier);
  packet[6] = static_cast<std::uint8_t>(ids.sequence >> 8);
  packet[7] = static_cast<std::uint8_t>(ids.sequence);
  for (std::size_t i = kIcmpHeaderSize; i < packet.size(); ++i) {
    packet[i] = static_cast<std::uint8_t>(i);
  }
  if (channel.rawIpv4()) {
    std::uint16_t checksum = InternetChecksum(packet);
    packet[2] = static_cast<std::uint8_t>(checksum >> 8);
    packet[3] = static_cast<std::uint8_t>(checksum);
  }
  return packet;
}

std::uint16_t Read16(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

bool IsReplyTo(const std::vector<std::uint8_t>& received, std::size_t size, const Channel& channel,
               EchoIds ids) {
  std::size_t start = channel.rawIpv4() && size > 0 ? (received[0] & 0x0F) * 4u : 0;
  if (size < start + kIcmpHeaderSize) return false;
  const std::uint8_t* icmp = received.data() + start;
  if (icmp[0] != (channel.ipv6 ? kEchoReplyV6 : kEchoReplyV4) || icmp[1] != 0) return false;
  if (Read16(icmp + 6) != ids.sequence) return false;
  return !channel.keepsIdentifier() || Read16(icmp + 4) == ids.identifier;
}

Echo AwaitReply(int fd, const Channel& channel, EchoIds ids, Clock::time_point sent,
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
    if (IsReplyTo(received, static_cast<std::size_t>(size), channel, ids)) {
      return {EchoOutcome::kReply, Clock::now() - sent};
    }
  }
}

EchoIds NextEchoIds() {
  static std::uint16_t sequence = 0;
  return {static_cast<std::uint16_t>(getpid()), ++sequence};
}

}  // namespace

Echo SocketEcho(EchoSocket socket, const SocketAddress& target, int payloadBytes,
                Clock::time_point deadline) {
  const Channel channel{socket, target.family() == AF_INET6};
  const int type = (socket == EchoSocket::kRaw ? SOCK_RAW : SOCK_DGRAM) | SOCK_CLOEXEC;
  const int protocol = channel.ipv6 ? int{IPPROTO_ICMPV6} : int{IPPROTO_ICMP};
  FileDescriptor fd(::socket(target.family(), type, protocol));
  // EACCES for a ping socket outside net.ipv4.ping_group_range, EPERM for a
  // raw socket without CAP_NET_RAW.
  if (!fd.valid()) return {EchoOutcome::kUnavailable};
  int on = 1;
  if (channel.ipv6) {
    setsockopt(fd.get(), SOL_IPV6, IPV6_RECVERR, &on, sizeof on);
  } else {
    setsockopt(fd.get(), SOL_IP, IP_RECVERR, &on, sizeof on);
  }
  if (connect(fd.get(), target.get(), target.length) != 0) return {EchoOutcome::kError};

  EchoIds ids = NextEchoIds();
  std::vector<std::uint8_t> request = EchoRequest(channel, ids, payloadBytes);
  Clock::time_point sent = Clock::now();
  if (send(fd.get(), request.data(), request.size(), 0) < 0) return {EchoOutcome::kError};
  return AwaitReply(fd.get(), channel, ids, sent, deadline);
}

}  // namespace platform::linux_os
