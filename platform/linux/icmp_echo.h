// One ICMP echo sent through a socket of this process.
#pragma once

#include "platform/linux/network_probe.h"
#include "platform/linux/socket_address.h"

namespace platform::linux_os {

// A ping socket, which the kernel gives the groups in
// net.ipv4.ping_group_range, or a raw socket, which needs CAP_NET_RAW.
enum class EchoSocket { kPing, kRaw };

// Sends one echo request carrying `payloadBytes` to `target` and waits for
// its reply until `deadline`. kUnavailable when the socket cannot be had.
Echo SocketEcho(EchoSocket socket, const SocketAddress& target, int payloadBytes,
                Clock::time_point deadline);

}  // namespace platform::linux_os
