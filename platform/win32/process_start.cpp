// The client started with CreateProcessW, always as a program: the
// application name is the client file itself, so its extension does not
// matter and no search path is tried.
#include "platform/process_start.h"

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/system_error.h"
#include "platform/win32/text.h"

namespace platform {
namespace {

// A relative program is taken from the working directory, like Exists.
std::wstring FullPath(const std::wstring& path) {
  DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return path;
  std::wstring full(length, L'\0');
  length = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
  full.resize(length);
  return full;
}

// The child's argv[0] must be the whole program text even when it holds a
// blank, so only then is it quoted; the other words pass as typed.
std::wstring ChildCommandLine(const std::string& program, const std::string& commandLine) {
  std::string rest =
      commandLine.starts_with(program) ? commandLine.substr(program.size()) : " " + commandLine;
  bool quote = program.find_first_of(" \t") != std::string::npos;
  return win32::Widen(quote ? "\"" + program + "\"" + rest : program + rest);
}

class Win32ProcessStart final : public ProcessStart {
 public:
  Status Start(const std::string& program, const std::string& commandLine) override {
    std::wstring application = FullPath(win32::Widen(program));
    std::wstring line = ChildCommandLine(program, commandLine);
    std::vector<wchar_t> writableLine(line.begin(), line.end());  // CreateProcessW may write to it
    writableLine.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(application.c_str(), writableLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &started)) {
      return Status::Failure(program + ": " + win32::LastErrorText());
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return Status::Ok();
  }
};

}  // namespace

ProcessStart& SystemProcessStart() {
  static Win32ProcessStart start;
  return start;
}

}  // namespace platform
