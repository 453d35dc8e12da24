// The Linux service's decisions: which look-ups of the probe to make, in
// what order and for how long, and what their results answer.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/linux/network_probe.h"

namespace platform::linux_os {

inline constexpr std::chrono::seconds kAnswerBound{5};

struct Reachability {
  bool reachable;
  std::uint32_t bytesPerSecond;  // one figure for both directions
};

// Whether `destination` can be reached, and how fast, decided within
// kAnswerBound of probe.Now(). `dataSize` is the payload of the echoes that
// decide it.
Reachability AskNetwork(NetworkProbe& probe, const std::string& destination, std::int32_t dataSize);

}  // namespace platform::linux_os
