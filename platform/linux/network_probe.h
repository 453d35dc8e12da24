// The Linux network-awareness service is our own: Linux has none. It is made
// of a few bounded look-ups (this probe) and the decisions taken on their
// results (network_answer.h), kept apart so that tests can drive the
// decisions with a fake probe and a fake clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::linux_os {

using Clock = std::chrono::steady_clock;

// The ways to send an ICMP echo, in the order they are tried.
enum class EchoWay { kPingSocket, kRawSocket, kPingProgram };

enum class EchoOutcome {
  kReply,        // the destination answered
  kSilence,      // nothing came back in time
  kError,        // an ICMP error came back (unreachable, time exceeded)
  kUnavailable,  // this way cannot be used here (permission, no program)
};

struct Echo {
  EchoOutcome outcome;
  std::chrono::nanoseconds roundTrip{0};  // on a reply; 0 when not measured
};

class NetworkProbe {
 public:
  virtual ~NetworkProbe() = default;

  virtual Clock::time_point Now() = 0;
  // The numeric addresses of `destination` (a numeric address gives itself,
  // at once); none when a host name has not resolved by `deadline`.
  virtual std::vector<std::string> Resolve(const std::string& destination,
                                           Clock::time_point deadline) = 0;
  // The interface the kernel would send to `address` through ("" when it
  // cannot be named), or nullopt when there is no route. Sends nothing.
  virtual std::optional<std::string> RouteInterface(const std::string& address) = 0;
  // The link speed of `interface` in Mbit/s, or 0 when it is not known.
  virtual std::int64_t LinkSpeed(const std::string& interface) = 0;
  // One echo request to `address` carrying `payloadBytes`, waiting for its
  // answer until `deadline` at the latest.
  virtual Echo SendEcho(EchoWay way, const std::string& address, int payloadBytes,
                        Clock::time_point deadline) = 0;
};

// The system's probe: resolver, routing table, sysfs, ICMP and ping(8).
NetworkProbe& SystemNetworkProbe();

}  // namespace platform::linux_os
