// The Windows network-awareness service: SENSAPI's IsDestinationReachableA
// where it is real, else the ICMP echo of icmp_echo.h. Its parts are passed
// in, so that tests can stand in for SENSAPI.DLL, for Wine and for the echo.
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

// Answers as NetworkAwareness::IsDestinationReachable does.
using AskFunction = std::function<Status(const std::string&, QOCINFO&, bool&)>;

// What the program runs on: Windows, or Wine, whose SENSAPI is a stub.
enum class Host { kWindows, kWine };

// Wine's ntdll exports wine_get_version; Windows' does not.
Host RunningHost();

// Looks up `lookUp`'s function at the first question (and again at the next
// while that fails) and believes its answer, except where it is not
// implemented: under Wine (`host`), whose SENSAPI says "reachable" to
// everything, and where it answers ERROR_CALL_NOT_IMPLEMENTED, as it does
// from Vista on. There, or when it cannot be had, `askByEcho` answers; a
// failure then names what could not be used.
class Win32NetworkAwareness final : public NetworkAwareness {
 public:
  Win32NetworkAwareness(LookUpFunction lookUp, Host host, AskFunction askByEcho);

  Status IsDestinationReachable(const std::string& lpszDestination, QOCINFO& lpQOCInfo,
                                bool& reachable) override;

 private:
  Status LookUp();
  bool AnsweredBySensapi(const std::string& lpszDestination, QOCINFO& lpQOCInfo, bool& reachable);

  LookUpFunction lookUp_;
  Host host_;
  AskFunction askByEcho_;
  IsDestinationReachableFunction isDestinationReachableA_ = nullptr;
};

}  // namespace platform::win32
