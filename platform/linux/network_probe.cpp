// The Linux probe: getaddrinfo_a for names, a connected UDP socket for the
// route, sysfs for the link speed, and ICMP echoes through a ping socket, a
// raw socket or ping(8), whichever this process may use.
#include "platform/linux/network_probe.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/file_descriptor.h"
#include "platform/linux/icmp_echo.h"
#include "platform/linux/ping_program.h"
#include "platform/linux/socket_address.h"

namespace platform::linux_os {
namespace {

// A name looked up by glibc's resolver threads. The request must stay alive
// as long as a thread works on it, even after we stop waiting.
struct Lookup {
  explicit Lookup(std::string destination) : name(std::move(destination)) {
    hints.ai_socktype = SOCK_DGRAM;
    request.ar_name = name.c_str();
    request.ar_request = &hints;
  }
  ~Lookup() {
    if (request.ar_result != nullptr) freeaddrinfo(request.ar_result);
  }
  Lookup(const Lookup&) = delete;
  Lookup& operator=(const Lookup&) = delete;

  std::string name;
  addrinfo hints{};
  gaicb request{};
};

class LinuxNetworkProbe final : public NetworkProbe {
 public:
  Clock::time_point Now() override { return Clock::now(); }

  std::vector<std::string> Resolve(const std::string& destination,
                                   Clock::time_point deadline) override {
    std::erase_if(unfinished_, [](const std::unique_ptr<Lookup>& lookup) {
      return gai_error(&lookup->request) != EAI_INPROGRESS;
    });
    std::optional<SocketAddress> numeric = ParseNumeric(destination);
    if (numeric) return {NumericText(numeric->get(), numeric->length)};
    return LookUp(destination, deadline);
  }

  std::optional<std::string> RouteInterface(const std::string& address) override {
    std::optional<SocketAddress> target = ParseNumeric(address);
    if (!target) return std::nullopt;
    // Connecting a UDP socket asks the routing table and sends nothing.
    FileDescriptor udp(socket(target->family(), SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!udp.valid()) return std::nullopt;
    target->SetPort(9);
    if (connect(udp.get(), target->get(), target->length) != 0) return std::nullopt;
    SocketAddress local;
    local.length = sizeof local.storage;
    if (getsockname(udp.get(), reinterpret_cast<sockaddr*>(&local.storage), &local.length) != 0) {
      return std::string();
    }
    return InterfaceHolding(local);
  }

  std::int64_t LinkSpeed(const std::string& interface) override {
    if (interface.empty() || interface.find('/') != std::string::npos || interface[0] == '.') {
      return 0;
    }
    // Virtual links such as loopback refuse to tell (EINVAL); a link that is
    // down says -1.
    std::ifstream file("/sys/class/net/" + interface + "/speed");
    std::int64_t mbits = 0;
    if (!(file >> mbits) || mbits < 0) return 0;
    return mbits;
  }

  Echo SendEcho(EchoWay way, const std::string& address, int payloadBytes,
                Clock::time_point deadline) override {
    std::optional<SocketAddress> target = ParseNumeric(address);
    if (!target) return {EchoOutcome::kError};
    switch (way) {
      case EchoWay::kPingSocket:
        return SocketEcho(EchoSocket::kPing, *target, payloadBytes, deadline);
      case EchoWay::kRawSocket:
        return SocketEcho(EchoSocket::kRaw, *target, payloadBytes, deadline);
      case EchoWay::kPingProgram:
        return ProgramEcho(address, target->family(), payloadBytes, deadline);
    }
    return {EchoOutcome::kUnavailable};
  }

 private:
  std::vector<std::string> LookUp(const std::string& destination, Clock::time_point deadline) {
    auto lookup = std::make_unique<Lookup>(destination);
    std::array<gaicb*, 1> requests{&lookup->request};
    if (getaddrinfo_a(GAI_NOWAIT, requests.data(), 1, nullptr) != 0) return {};
    while (gai_error(&lookup->request) == EAI_INPROGRESS && Clock::now() < deadline) {
      timespec timeout = TimespecOf(deadline - Clock::now());
      gai_suspend(requests.data(), 1, &timeout);
    }
    int status = gai_error(&lookup->request);
    if (status == EAI_INPROGRESS) {
      // A resolver thread still holds the request: keep it until it is done.
      if (gai_cancel(&lookup->request) == EAI_NOTCANCELED) unfinished_.push_back(std::move(lookup));
      return {};
    }
    if (status != 0) return {};
    return NumericTexts(lookup->request.ar_result);
  }

  static std::string InterfaceHolding(const SocketAddress& local) {
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) return {};
    std::string localText = NumericText(local.get(), local.length);
    std::string name;
    for (const ifaddrs* entry = interfaces; entry != nullptr && name.empty();
         entry = entry->ifa_next) {
      if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != local.family()) continue;
      socklen_t length = local.family() == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
      if (NumericText(entry->ifa_addr, length) == localText) name = entry->ifa_name;
    }
    freeifaddrs(interfaces);
    return name;
  }

  std::vector<std::unique_ptr<Lookup>> unfinished_;
};

}  // namespace

NetworkProbe& SystemNetworkProbe() {
  static LinuxNetworkProbe probe;
  return probe;
}

}  // namespace platform::linux_os
