// IsDestinationReachableA from SENSAPI.DLL, loaded at the first question. Its
// reference says that from Vista on it "always returns
// ERROR_CALL_NOT_IMPLEMENTED", a non-zero result, beside TRUE and FALSE
// (https://learn.microsoft.com/windows/win32/api/sensapi/nf-sensapi-isdestinationreachablea);
// taken at its word that would be "reachable" at no speed, for any address.
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

Host RunningHost() {
  const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine ? Host::kWine : Host::kWindows;
}

Win32NetworkAwareness::Win32NetworkAwareness(LookUpFunction lookUp, Host host,
                                             AskFunction askByEcho)
    : lookUp_(std::move(lookUp)), host_(host), askByEcho_(std::move(askByEcho)) {}

Status Win32NetworkAwareness::IsDestinationReachable(const std::string& lpszDestination,
                                                     QOCINFO& lpQOCInfo, bool& reachable) {
  Status found = LookUp();
  if (found.ok() && host_ == Host::kWindows &&
      AnsweredBySensapi(lpszDestination, lpQOCInfo, reachable)) {
    return Status::Ok();
  }
  Status echoed = askByEcho_(lpszDestination, lpQOCInfo, reachable);
  if (echoed.ok() || found.ok()) return echoed;
  return Status::Failure(found.message() + "\r\n" + echoed.message());
}

Status Win32NetworkAwareness::LookUp() {
  if (isDestinationReachableA_ != nullptr) return Status::Ok();
  return lookUp_(isDestinationReachableA_);
}

// False where the service is not implemented; the record is then as it was.
bool Win32NetworkAwareness::AnsweredBySensapi(const std::string& lpszDestination,
                                              QOCINFO& lpQOCInfo, bool& reachable) {
  const std::string destination = ToAnsi(lpszDestination);
  QOCINFO record = lpQOCInfo;
  SetLastError(ERROR_SUCCESS);
  const BOOL answer = isDestinationReachableA_(destination.c_str(), &record);
  if (answer == ERROR_CALL_NOT_IMPLEMENTED ||
      (answer == FALSE && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED)) {
    return false;
  }
  reachable = answer != FALSE;
  lpQOCInfo = record;
  return true;
}

}  // namespace platform::win32

namespace platform {

NetworkAwareness& SystemNetworkAwareness() {
  static win32::Win32NetworkAwareness service(win32::LookUpSensapi, win32::RunningHost(),
                                              win32::IsReachableByEcho);
  return service;
}

}  // namespace platform
