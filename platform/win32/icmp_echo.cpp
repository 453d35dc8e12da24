// An ICMP echo needs no privilege on Windows (IcmpSendEcho2); the speeds are
// the link speeds of the interface that carries it. The whole answer keeps to
// one deadline: the name resolution and the echo share it.
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
#include <future>
#include <limits>
#include <thread>
#include <utility>
#include <vector>

#include "platform/win32/system_error.h"
#include "platform/win32/text.h"

namespace platform::win32 {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The largest echo payload IPv4 carries (65535 less the IP and ICMP headers).
constexpr std::int32_t kMaxPayload = 65500;
// Name resolution may take this much of the answer's time, the echo the rest
// (at most as long as the system's ping waits for a reply).
constexpr milliseconds kResolveTimeout{2000};
constexpr milliseconds kEchoTimeout{4000};

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

// GetAddrInfoW's answer. Starts Windows Sockets itself: the caller may have
// stopped waiting, and stopped its own, long before this returns.
std::vector<sockaddr_storage> Addresses(const std::wstring& name) {
  Winsock winsock;
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  ADDRINFOW* found = nullptr;
  if (winsock.error() != 0 || GetAddrInfoW(name.c_str(), nullptr, &hints, &found) != 0) return {};
  std::vector<sockaddr_storage> addresses;
  for (const ADDRINFOW* entry = found; entry != nullptr; entry = entry->ai_next) {
    sockaddr_storage& address = addresses.emplace_back();
    std::copy_n(reinterpret_cast<const char*>(entry->ai_addr),
                std::min(entry->ai_addrlen, sizeof address), reinterpret_cast<char*>(&address));
  }
  FreeAddrInfoW(found);
  return addresses;
}

milliseconds TimeLeft(Clock::time_point deadline) {
  return std::max(std::chrono::duration_cast<milliseconds>(deadline - Clock::now()),
                  milliseconds{0});
}

struct IcmpHandle {
  HANDLE handle;
  ~IcmpHandle() {
    if (handle != INVALID_HANDLE_VALUE) IcmpCloseHandle(handle);
  }
};

// Whether `address` answered an echo of `payload` within `timeout`; fails
// when the ICMP service cannot be opened.
Status Echo(const sockaddr_storage& address, std::vector<char>& payload, milliseconds timeout,
            bool& answered) {
  const bool v6 = address.ss_family == AF_INET6;
  IcmpHandle icmp{v6 ? Icmp6CreateFile() : IcmpCreateFile()};
  if (icmp.handle == INVALID_HANDLE_VALUE) return Status::Failure("ICMP: " + LastErrorText());
  // Room for one reply with the payload, an ICMP error and the I/O status.
  std::vector<char> reply(std::max(sizeof(ICMP_ECHO_REPLY), sizeof(Icmpv6EchoReply)) +
                          payload.size() + 8 + sizeof(IO_STATUS_BLOCK));
  const WORD size = static_cast<WORD>(payload.size());
  const DWORD replySize = static_cast<DWORD>(reply.size());
  const DWORD timeoutMs = static_cast<DWORD>(timeout.count());
  if (v6) {
    sockaddr_in6 source{};
    source.sin6_family = AF_INET6;
    sockaddr_in6 target = reinterpret_cast<const sockaddr_in6&>(address);
    answered =
        Icmp6SendEcho2(icmp.handle, nullptr, nullptr, nullptr, &source, &target, payload.data(),
                       size, nullptr, reply.data(), replySize, timeoutMs) > 0 &&
        reinterpret_cast<const Icmpv6EchoReply*>(reply.data())->Status == IP_SUCCESS;
  } else {
    IPAddr target = reinterpret_cast<const sockaddr_in&>(address).sin_addr.s_addr;
    answered = IcmpSendEcho2(icmp.handle, nullptr, nullptr, nullptr, target, payload.data(), size,
                             nullptr, reply.data(), replySize, timeoutMs) > 0 &&
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

std::vector<sockaddr_storage> ResolveWithin(const std::string& destination, milliseconds timeout,
                                            ResolveFunction resolve) {
  // The task owns what the resolution needs, so the thread may outlive this call.
  std::packaged_task<std::vector<sockaddr_storage>()> resolution(
      [resolve = std::move(resolve), name = Widen(destination)] { return resolve(name); });
  std::future<std::vector<sockaddr_storage>> addresses = resolution.get_future();
  std::thread(std::move(resolution)).detach();
  if (addresses.wait_for(timeout) != std::future_status::ready) return {};
  return addresses.get();
}

// Each address in turn, while time is left: Wine, for one, sends no ICMPv6
// echo, and "localhost" may be ::1 before 127.0.0.1.
Status IsReachableByEcho(const std::string& destination, QOCINFO& lpQOCInfo, bool& reachable) {
  const Clock::time_point deadline = Clock::now() + kEchoAnswerBound;
  reachable = false;
  if (destination.empty()) return Status::Ok();
  Winsock winsock;
  if (winsock.error() != 0) {
    return Status::Failure("Windows Sockets: " + SystemErrorText(winsock.error()));
  }
  const std::int32_t requested = static_cast<std::int32_t>(lpQOCInfo.dwSize);
  std::vector<char> payload(std::clamp(requested, 0, kMaxPayload), 'x');
  Status unusable = Status::Ok();
  for (const sockaddr_storage& address :
       ResolveWithin(destination, std::min(kResolveTimeout, TimeLeft(deadline)), Addresses)) {
    if (TimeLeft(deadline) == milliseconds{0}) break;
    Status echoed = Echo(address, payload, std::min(kEchoTimeout, TimeLeft(deadline)), reachable);
    if (!echoed.ok()) unusable = echoed;
    if (reachable) {
      FillSpeeds(address, lpQOCInfo);
      return Status::Ok();
    }
  }
  return unusable;
}

}  // namespace platform::win32
