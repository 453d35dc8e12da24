// The program's folder from GetModuleFileNameW.
#include "platform/program_folder.h"

#include <windows.h>

#include <string>

#include "platform/win32/text.h"

namespace platform {
namespace {

std::wstring ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // cut short: long path names reach 32767 characters
  }
}

}  // namespace

std::string ProgramFolder() {
  std::wstring path = ExecutablePath();
  path.resize(path.find_last_of(L"\\/") + 1);  // keep the separator
  return win32::Narrow(path);
}

}  // namespace platform
