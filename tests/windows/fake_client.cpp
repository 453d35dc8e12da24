// A stand-in game client: records how it was started in "record.txt" beside
// itself (its command line, working directory, show-window request and its
// own program file), then ends. The record is written under another name and renamed into place, so
// a reader never sees half of it.
#include <windows.h>

#include <string>

#include "platform/win32/text.h"

namespace {

std::wstring Folder(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  wchar_t cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, cwd);
  STARTUPINFOW startup{};
  GetStartupInfoW(&startup);

  std::string record =
      "cmdline=" + platform::win32::Narrow(GetCommandLineW()) +
      "\ncwd=" + platform::win32::Narrow(cwd) + "\nshow=" + std::to_string(startup.wShowWindow) +
      "\nuseshowwindow=" + ((startup.dwFlags & STARTF_USESHOWWINDOW) ? "yes" : "no") +
      "\nprogram=" + platform::win32::Narrow(path) + "\n";
  std::wstring folder = Folder(path);
  std::wstring partial = folder + L"record.tmp";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  CloseHandle(file);
  MoveFileExW(partial.c_str(), (folder + L"record.txt").c_str(), MOVEFILE_REPLACE_EXISTING);
  return 0;
}
