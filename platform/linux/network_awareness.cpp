// The network-awareness service on Linux: the destination is resolved, its
// route looked up, then it is sent ICMP echoes; the speed is the link speed
// of the route's interface, else an estimate from echo round trips.
#include "platform/network_awareness.h"

#include <string>

#include "platform/linux/network_answer.h"

namespace platform {
namespace linux_os {
namespace {

class LinuxNetworkAwareness final : public NetworkAwareness {
 public:
  Status IsDestinationReachable(const std::string& lpszDestination, QOCINFO& lpQOCInfo,
                                bool& reachable) override {
    Reachability answer = AskNetwork(SystemNetworkProbe(), lpszDestination,
                                     static_cast<std::int32_t>(lpQOCInfo.dwSize));
    reachable = answer.reachable;
    if (reachable) lpQOCInfo.dwInSpeed = lpQOCInfo.dwOutSpeed = answer.bytesPerSecond;
    return Status::Ok();
  }
};

}  // namespace
}  // namespace linux_os

NetworkAwareness& SystemNetworkAwareness() {
  static linux_os::LinuxNetworkAwareness service;
  return service;
}

}  // namespace platform
