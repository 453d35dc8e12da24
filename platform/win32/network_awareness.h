// The Windows network-awareness service, split so that tests can stand in for
// SENSAPI.DLL: Wine's IsDestinationReachableA always answers "reachable". The
// echo that stands in for it is in icmp_echo.h.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/network_awareness.h"
#include "platform/status.h"

namespace platform::win32 {

// IsDestinationReachableA; platform::QOCINFO has the layout of the system's record.
using IsDestinationReachableFunction = BOOL(WINAPI*)(LPCSTR, QOCINFO*);

// Finds IsDestinationReachableA, or fails with the reason it cannot be had.
using LookUpFunction = std::function<Status(IsDestinationReachableFunction&)>;

// Asks `lookUp`'s function, looked up at the first question. When that
// answers zero with ERROR_CALL_NOT_IMPLEMENTED, as it does from Vista on,
// asks IsReachableByEcho (icmp_echo.h) instead.
class Win32NetworkAwareness final : public NetworkAwareness {
 public:
  explicit Win32NetworkAwareness(LookUpFunction lookUp);

  Status IsDestinationReachable(const std::string& lpszDestination, QOCINFO& lpQOCInfo,
                                bool& reachable) override;

 private:
  LookUpFunction lookUp_;
  IsDestinationReachableFunction isDestinationReachableA_ = nullptr;
};

}  // namespace platform::win32
