// Reachability from an ICMP echo and the speed of the interface that carries
// it: the answer where SENSAPI's IsDestinationReachableA is not implemented.
#pragma once

#include <string>

#include "platform/network_awareness.h"
#include "platform/status.h"

namespace platform::win32 {

// Reachable when `destination` (an address or a host name, UTF-8) answers an
// ICMP echo carrying lpQOCInfo.dwSize bytes (at most 65500); the speeds are
// then those of the interface GetBestInterfaceEx picks for it, in bytes per
// second. An unknown or unreachable destination is not reachable; fails only
// when the system's ICMP service cannot be used.
Status IsReachableByEcho(const std::string& destination, QOCINFO& lpQOCInfo, bool& reachable);

}  // namespace platform::win32
