#include "platform/linux/socket_address.h"

#include <netinet/in.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace platform::linux_os {

void SocketAddress::SetPort(std::uint16_t port) {
  if (family() == AF_INET6) {
    reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port = htons(port);
  } else {
    reinterpret_cast<sockaddr_in*>(&storage)->sin_port = htons(port);
  }
}

std::optional<SocketAddress> ParseNumeric(const std::string& address) {
  addrinfo hints{};
  hints.ai_flags = AI_NUMERICHOST;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(address.c_str(), nullptr, &hints, &found) != 0) return std::nullopt;
  SocketAddress parsed;
  std::memcpy(&parsed.storage, found->ai_addr, found->ai_addrlen);
  parsed.length = found->ai_addrlen;
  freeaddrinfo(found);
  return parsed;
}

std::string NumericText(const sockaddr* address, socklen_t length) {
  std::array<char, NI_MAXHOST> host{};
  if (getnameinfo(address, length, host.data(), host.size(), nullptr, 0, NI_NUMERICHOST) != 0) {
    return {};
  }
  return host.data();
}

std::vector<std::string> NumericTexts(const addrinfo* list) {
  std::vector<std::string> texts;
  for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) continue;
    std::string text = NumericText(entry->ai_addr, entry->ai_addrlen);
    if (!text.empty() && std::find(texts.begin(), texts.end(), text) == texts.end()) {
      texts.push_back(text);
    }
  }
  return texts;
}

}  // namespace platform::linux_os
