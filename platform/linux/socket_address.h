// Numeric socket addresses: parsing and printing them.
#pragma once

#include <netdb.h>
#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::linux_os {

struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;

  int family() const { return storage.ss_family; }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
  void SetPort(std::uint16_t port);
};

// `address` when it is a numeric IPv4 or IPv6 address; looks nothing up.
std::optional<SocketAddress> ParseNumeric(const std::string& address);

// The numeric text of an address, or "" when it has none.
std::string NumericText(const sockaddr* address, socklen_t length);

// The numeric texts of a lookup's IPv4 and IPv6 addresses, each once.
std::vector<std::string> NumericTexts(const addrinfo* list);

}  // namespace platform::linux_os
