// game.ini through kernel32's own profile service. Every text crosses it in
// the ANSI code page.
#include "platform/profile_file.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/system_error.h"
#include "platform/win32/text.h"

namespace platform {
namespace {

class Win32ProfileFile final : public ProfileFile {
 public:
  std::string GetString(std::string_view lpAppName, std::string_view lpKeyName,
                        std::string_view lpDefault, int bufferSize,
                        const std::string& lpFileName) override {
    std::vector<char> buffer(bufferSize, '\0');
    DWORD length = GetPrivateProfileStringA(
        win32::ToAnsi(lpAppName).c_str(), win32::ToAnsi(lpKeyName).c_str(),
        win32::ToAnsi(lpDefault).c_str(), buffer.data(), static_cast<DWORD>(buffer.size()),
        win32::ToAnsi(lpFileName).c_str());
    return win32::FromAnsi(std::string_view(buffer.data(), length));
  }

  Status WriteString(std::string_view lpAppName, std::string_view lpKeyName,
                     std::string_view lpString, const std::string& lpFileName) override {
    // A line break inside a value would start new lines, that is new keys.
    std::string value(lpString);
    std::replace_if(
        value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    if (!WritePrivateProfileStringA(win32::ToAnsi(lpAppName).c_str(),
                                    win32::ToAnsi(lpKeyName).c_str(), win32::ToAnsi(value).c_str(),
                                    win32::ToAnsi(lpFileName).c_str())) {
      return Status::Failure(lpFileName + ": " + win32::LastErrorText());
    }
    return Status::Ok();
  }
};

}  // namespace

ProfileFile& SystemProfileFile() {
  static Win32ProfileFile profile;
  return profile;
}

}  // namespace platform
