// The network-awareness service: can a destination be reached, and how fast.
#pragma once

#include <cstdint>
#include <string>

#include "platform/status.h"

namespace platform {

// Quality-of-connection information, laid out like the Windows record of the
// same name (four DWORDs) so that a Windows backend hands it over as it is.
struct QOCINFO {
  std::uint32_t dwSize;
  std::uint32_t dwFlags;
  std::uint32_t dwInSpeed;   // bytes per second from the destination
  std::uint32_t dwOutSpeed;  // bytes per second to the destination
};
static_assert(sizeof(QOCINFO) == 16);

class NetworkAwareness {
 public:
  virtual ~NetworkAwareness() = default;

  // Like IsDestinationReachableA: sets `reachable` to whether `lpszDestination`
  // (an IPv4 or IPv6 address or a host name, UTF-8; may be empty) can be
  // reached and, when it can, fills dwInSpeed and dwOutSpeed. `lpQOCInfo` goes
  // in as the caller filled it. Blocks until the answer is known. Fails only
  // when the service itself cannot be loaded or called.
  virtual Status IsDestinationReachable(const std::string& lpszDestination, QOCINFO& lpQOCInfo,
                                        bool& reachable) = 0;
};

// The operating system's service (our own on Linux). Getting it loads
// nothing: the service is looked up at the first question.
NetworkAwareness& SystemNetworkAwareness();

}  // namespace platform
