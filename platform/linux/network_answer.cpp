#include "platform/linux/network_answer.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace platform::linux_os {
namespace {

using namespace std::chrono_literals;

constexpr auto kResolveTime = 2s;
constexpr auto kEchoWait = 1s;
constexpr int kAttempts = 3;

// Round trips of a small and a large echo, each the fastest of a few, tell
// how long the extra bytes take.
constexpr int kSmallEcho = 56;
constexpr int kLargeEcho = 1400;
constexpr int kTimingEchoes = 3;

constexpr int kMaxIpv4Payload = 65507;  // 65535 - IPv4 header - ICMP header
constexpr int kMaxIpv6Payload = 65527;  // 65535 - ICMPv6 header
constexpr std::int64_t kBytesPerSecondPerMbit = 125000;
constexpr double kMaxSpeed = std::numeric_limits<std::uint32_t>::max();

std::uint32_t Capped(double bytesPerSecond) {
  return static_cast<std::uint32_t>(std::clamp(bytesPerSecond, 0.0, kMaxSpeed));
}

int EchoPayload(const std::string& address, std::int32_t dataSize) {
  bool ipv6 = address.find(':') != std::string::npos;
  return std::clamp(dataSize, 0, ipv6 ? kMaxIpv6Payload : kMaxIpv4Payload);
}

// One question about one routed address, bounded by one deadline.
class Question {
 public:
  Question(NetworkProbe& probe, std::string address, std::string interface,
           Clock::time_point deadline)
      : probe_(probe),
        address_(std::move(address)),
        interface_(std::move(interface)),
        deadline_(deadline) {}

  Reachability Ask(std::int32_t dataSize) {
    int payload = EchoPayload(address_, dataSize);
    Echo echo{EchoOutcome::kUnavailable};
    for (EchoWay way : {EchoWay::kPingSocket, EchoWay::kRawSocket, EchoWay::kPingProgram}) {
      echo = Send(way, payload);
      if (echo.outcome != EchoOutcome::kUnavailable) {
        way_ = way;
        break;
      }
    }
    // With no way to send an echo at all, the route is the best answer.
    if (echo.outcome == EchoOutcome::kUnavailable) return {true, LinkSpeed()};
    for (int attempt = 1; echo.outcome == EchoOutcome::kSilence && attempt < kAttempts; ++attempt) {
      echo = Send(way_, payload);
    }
    if (echo.outcome != EchoOutcome::kReply) return {false, 0};
    std::uint32_t speed = LinkSpeed();
    return {true, speed > 0 ? speed : EstimatedSpeed()};
  }

 private:
  Echo Send(EchoWay way, int payload) {
    if (probe_.Now() >= deadline_) return {EchoOutcome::kSilence};
    return probe_.SendEcho(way, address_, payload, std::min(probe_.Now() + kEchoWait, deadline_));
  }

  std::uint32_t LinkSpeed() {
    std::int64_t mbits = std::clamp<std::int64_t>(probe_.LinkSpeed(interface_), 0, 1'000'000'000);
    return Capped(static_cast<double>(mbits * kBytesPerSecondPerMbit));
  }

  std::optional<std::chrono::nanoseconds> FastestRoundTrip(int payload) {
    std::optional<std::chrono::nanoseconds> fastest;
    for (int i = 0; i < kTimingEchoes; ++i) {
      Echo echo = Send(way_, payload);
      if (echo.outcome != EchoOutcome::kReply || echo.roundTrip <= 0ns) continue;
      fastest = std::min(fastest.value_or(echo.roundTrip), echo.roundTrip);
    }
    return fastest;
  }

  std::uint32_t EstimatedSpeed() {
    std::optional<std::chrono::nanoseconds> small = FastestRoundTrip(kSmallEcho);
    std::optional<std::chrono::nanoseconds> large = FastestRoundTrip(kLargeEcho);
    if (!small || !large) return 0;
    // The extra bytes travel there and back. A difference lost in the
    // clock's noise means a link faster than can be measured.
    std::chrono::nanoseconds extraTime = std::max(*large - *small, 1ns);
    double extraBytes = 2.0 * (kLargeEcho - kSmallEcho);
    return Capped(extraBytes * 1e9 / static_cast<double>(extraTime.count()));
  }

  NetworkProbe& probe_;
  std::string address_;
  std::string interface_;
  Clock::time_point deadline_;
  EchoWay way_ = EchoWay::kPingSocket;
};

}  // namespace

Reachability AskNetwork(NetworkProbe& probe, const std::string& destination,
                        std::int32_t dataSize) {
  if (destination.empty()) return {false, 0};
  Clock::time_point deadline = probe.Now() + kAnswerBound;
  std::vector<std::string> addresses =
      probe.Resolve(destination, std::min(probe.Now() + kResolveTime, deadline));
  for (const std::string& address : addresses) {
    std::optional<std::string> interface = probe.RouteInterface(address);
    if (interface) return Question(probe, address, *interface, deadline).Ask(dataSize);
  }
  return {false, 0};
}

}  // namespace platform::linux_os
