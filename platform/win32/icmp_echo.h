// Reachability from an ICMP echo and the speed of the interface that carries
// it: the answer where SENSAPI's IsDestinationReachableA is not implemented.
#pragma once

// Sockets before windows.h.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
// clang-format on

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/network_awareness.h"
#include "platform/status.h"

namespace platform::win32 {

// The longest IsReachableByEcho takes, name resolution included.
inline constexpr std::chrono::milliseconds kEchoAnswerBound{5000};

// Reachable when `destination` (an address or a host name, UTF-8) answers an
// ICMP echo carrying lpQOCInfo.dwSize bytes (at most 65500), at any of its
// addresses in turn; the speeds are then those of the interface
// GetBestInterfaceEx picks for that address, in bytes per second. An unknown,
// unreachable or silent destination is not reachable. Answers within
// kEchoAnswerBound. Fails only when the system's ICMP service cannot be used.
Status IsReachableByEcho(const std::string& destination, QOCINFO& lpQOCInfo, bool& reachable);

// The addresses of a name, in the resolver's order (none when unknown); may
// take as long as the resolver does.
using ResolveFunction = std::function<std::vector<sockaddr_storage>(const std::wstring&)>;

// `resolve` applied to `destination` (UTF-8) on a thread of its own, waited
// for no longer than `timeout` (none by then): GetAddrInfoW has no time-out
// and waits for a silent name server for many seconds, and Wine's
// GetAddrInfoExW ignores its time-out. A resolution still running then is
// left to end on its own.
std::vector<sockaddr_storage> ResolveWithin(const std::string& destination,
                                            std::chrono::milliseconds timeout,
                                            ResolveFunction resolve);

}  // namespace platform::win32
