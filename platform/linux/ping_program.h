// One ICMP echo sent by ping(8), for a process that may open no ICMP socket:
// Debian installs iputils' ping with the capability to send them.
#pragma once

#include <string>

#include "platform/linux/network_probe.h"

namespace platform::linux_os {

// Pings the numeric `address` of `family` (AF_INET, AF_INET6) once with
// `payloadBytes`, waiting until `deadline`. kUnavailable when ping cannot be
// started or cannot work here.
Echo ProgramEcho(const std::string& address, int family, int payloadBytes,
                 Clock::time_point deadline);

}  // namespace platform::linux_os
