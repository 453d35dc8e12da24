#include "platform/win32/system_error.h"

#include <windows.h>

#include <string_view>

#include "platform/win32/text.h"

namespace platform::win32 {

std::string SystemErrorText(unsigned long code) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring_view text(buffer, length);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.remove_suffix(1);
  }
  std::string description = text.empty() ? "Unknown error" : Narrow(text);
  LocalFree(buffer);
  return description + " (error " + std::to_string(code) + ")";
}

std::string LastErrorText() { return SystemErrorText(GetLastError()); }

}  // namespace platform::win32
