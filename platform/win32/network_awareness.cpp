// IsDestinationReachableA from SENSAPI.DLL, loaded at the first question.
// From Vista on that call fails with ERROR_CALL_NOT_IMPLEMENTED
// (https://learn.microsoft.com/windows/win32/api/sensapi/nf-sensapi-isdestinationreachablea),
// so the answer then comes from an ICMP echo (icmp_echo.h).
#include "platform/win32/network_awareness.h"

#include <utility>

#include "platform/win32/icmp_echo.h"
#include "platform/win32/library.h"
#include "platform/win32/system_error.h"
#include "platform/win32/text.h"

namespace platform::win32 {
namespace {

Status LookUpSensapi(IsDestinationReachableFunction& function) {
  // From the system folder only, never from beside the program.
  std::wstring folder(MAX_PATH, L'\0');
  folder.resize(GetSystemDirectoryW(folder.data(), MAX_PATH));
  HMODULE sensapi = LoadLibraryW((folder + L"\\sensapi.dll").c_str());
  if (sensapi == nullptr) return Status::Failure("SENSAPI.DLL: " + LastErrorText());
  function = LoadedFunction<IsDestinationReachableFunction>(sensapi, "IsDestinationReachableA");
  if (function == nullptr) {
    return Status::Failure("IsDestinationReachableA in SENSAPI.DLL: " + LastErrorText());
  }
  return Status::Ok();
}

}  // namespace

Win32NetworkAwareness::Win32NetworkAwareness(LookUpFunction lookUp) : lookUp_(std::move(lookUp)) {}

Status Win32NetworkAwareness::IsDestinationReachable(const std::string& lpszDestination,
                                                     QOCINFO& lpQOCInfo, bool& reachable) {
  if (isDestinationReachableA_ == nullptr) {
    Status found = lookUp_(isDestinationReachableA_);
    if (!found.ok()) return found;
  }
  const std::string destination = ToAnsi(lpszDestination);
  SetLastError(ERROR_SUCCESS);
  const BOOL answer = isDestinationReachableA_(destination.c_str(), &lpQOCInfo);
  if (answer == FALSE && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
    return IsReachableByEcho(lpszDestination, lpQOCInfo, reachable);
  }
  reachable = answer != FALSE;
  return Status::Ok();
}

}  // namespace platform::win32

namespace platform {

NetworkAwareness& SystemNetworkAwareness() {
  static win32::Win32NetworkAwareness service(win32::LookUpSensapi);
  return service;
}

}  // namespace platform
