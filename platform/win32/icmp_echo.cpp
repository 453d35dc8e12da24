// An ICMP echo needs no privilege on Windows (IcmpSendEcho2); the speeds are
// the link speeds of the interface that carries it.
#include "platform/win32/icmp_echo.h"

// In this order: sockets before windows.h, the IP helper before ICMP.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <winternl.h>
#include <iphlpapi.h>
#include <icmpapi.h>
// clang-format on

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/win32/system_error.h"
#include "platform/win32/text.h"

namespace platform::win32 {
namespace {

// The largest echo payload IPv4 carries (65535 less the IP and ICMP headers).
constexpr std::int32_t kMaxPayload = 65500;
// As long as the system's ping waits for a reply.
constexpr DWORD kEchoTimeoutMs = 4000;

// Icmpv6EchoReply of the Windows SDK, which mingw-w64's headers lack; its
// address part is packed.
#pragma pack(push, 1)
struct Ipv6AddressEx {
  USHORT sin6_port;
  ULONG sin6_flowinfo;
  USHORT sin6_addr[8];
  ULONG sin6_scope_id;
};
#pragma pack(pop)
struct Icmpv6EchoReply {
  Ipv6AddressEx Address;
  ULONG Status;
  unsigned int RoundTripTime;
};

// Name resolution needs Windows Sockets started.
class Winsock {
 public:
  Winsock() : error_(WSAStartup(MAKEWORD(2, 2), &data_)) {}
  ~Winsock() {
    if (error_ == 0) WSACleanup();
  }
  Winsock(const Winsock&) = delete;
  Winsock& operator=(const Winsock&) = delete;
  int error() const { return error_; }

 private:
  WSADATA data_;
  int error_;
};

// The first address `destination` stands for, or false when it has none.
bool Resolve(const std::string& destination, sockaddr_storage& address) {
  if (destination.empty()) return false;
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  ADDRINFOW* found = nullptr;
  if (GetAddrInfoW(Widen(destination).c_str(), nullptr, &hints, &found) != 0) return false;
  address = {};
  std::copy_n(reinterpret_cast<const char*>(found->ai_addr), found->ai_addrlen,
              reinterpret_cast<char*>(&address));
  FreeAddrInfoW(found);
  return true;
}

struct IcmpHandle {
  HANDLE handle;
  ~IcmpHandle() {
    if (handle != INVALID_HANDLE_VALUE) IcmpCloseHandle(handle);
  }
};

// Whether `address` answered an echo of `payload`; fails when the ICMP
// service cannot be opened.
Status Echo(const sockaddr_storage& address, std::vector<char>& payload, bool& answered) {
  const bool v6 = address.ss_family == AF_INET6;
  IcmpHandle icmp{v6 ? Icmp6CreateFile() : IcmpCreateFile()};
  if (icmp.handle == INVALID_HANDLE_VALUE) return Status::Failure("ICMP: " + LastErrorText());
  // Room for one reply with the payload, an ICMP error and the I/O status.
  std::vector<char> reply(std::max(sizeof(ICMP_ECHO_REPLY), sizeof(Icmpv6EchoReply)) +
                          payload.size() + 8 + sizeof(IO_STATUS_BLOCK));
  const WORD size = static_cast<WORD>(payload.size());
  const DWORD replySize = static_cast<DWORD>(reply.size());
  if (v6) {
    sockaddr_in6 source{};
    source.sin6_family = AF_INET6;
    sockaddr_in6 target = reinterpret_cast<const sockaddr_in6&>(address);
    answered =
        Icmp6SendEcho2(icmp.handle, nullptr, nullptr, nullptr, &source, &target, payload.data(),
                       size, nullptr, reply.data(), replySize, kEchoTimeoutMs) > 0 &&
        reinterpret_cast<const Icmpv6EchoReply*>(reply.data())->Status == IP_SUCCESS;
  } else {
    IPAddr target = reinterpret_cast<const sockaddr_in&>(address).sin_addr.s_addr;
    answered = IcmpSendEcho2(icmp.handle, nullptr, nullptr, nullptr, target, payload.data(), size,
                             nullptr, reply.data(), replySize, kEchoTimeoutMs) > 0 &&
               reinterpret_cast<const ICMP_ECHO_REPLY*>(reply.data())->Status == IP_SUCCESS;
  }
  return Status::Ok();
}

// Link speed in bits per second as bytes per second, capped at what the
// record's unsigned 32 bits hold; an unknown speed is 0.
std::uint32_t BytesPerSecond(ULONG64 bitsPerSecond) {
  if (bitsPerSecond == std::numeric_limits<ULONG64>::max()) return 0;
  return static_cast<std::uint32_t>(
      std::min<ULONG64>(bitsPerSecond / 8, std::numeric_limits<std::uint32_t>::max()));
}

void FillSpeeds(const sockaddr_storage& address, QOCINFO& lpQOCInfo) {
  sockaddr_storage destination = address;
  DWORD index = 0;
  if (GetBestInterfaceEx(reinterpret_cast<sockaddr*>(&destination), &index) != NO_ERROR) return;
  MIB_IF_ROW2 row{};
  row.InterfaceIndex = index;
  if (GetIfEntry2(&row) != NO_ERROR) return;
  lpQOCInfo.dwInSpeed = BytesPerSecond(row.ReceiveLinkSpeed);
  lpQOCInfo.dwOutSpeed = BytesPerSecond(row.TransmitLinkSpeed);
}

}  // namespace

Status IsReachableByEcho(const std::string& destination, QOCINFO& lpQOCInfo, bool& reachable) {
  reachable = false;
  Winsock winsock;
  if (winsock.error() != 0)
    return Status::Failure("Windows Sockets: " + SystemErrorText(winsock.error()));
  sockaddr_storage address;
  if (!Resolve(destination, address)) return Status::Ok();
  const std::int32_t requested = static_cast<std::int32_t>(lpQOCInfo.dwSize);
  std::vector<char> payload(std::clamp(requested, 0, kMaxPayload), 'x');
  Status echoed = Echo(address, payload, reachable);
  if (reachable) FillSpeeds(address, lpQOCInfo);
  return echoed;
}

}  // namespace platform::win32
