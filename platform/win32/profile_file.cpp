// game.ini through kernel32's own profile service. A file without a
// byte-order mark is 8-bit text: its values cross the ANSI functions as bytes,
// read and written by the code-page rules (platform/code_page.h), so that
// nothing typed becomes '?'. A file with a mark holds Unicode, which the wide
// functions read and write without loss.
#include "platform/profile_file.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/byte_order_mark.h"
#include "platform/code_page.h"
#include "platform/win32/system_error.h"
#include "platform/win32/text.h"

namespace platform {
namespace {

// Whether the file begins with a byte-order mark; a missing file does not.
bool HoldsUnicode(const std::string& path) {
  HANDLE file = CreateFileW(win32::Widen(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char head[3];
  DWORD got = 0;
  const bool read = ReadFile(file, head, sizeof head, &got, nullptr);
  CloseHandle(file);
  return read && EncodingOf(std::string_view(head, got)) != FileEncoding::kEightBit;
}

// A line break inside a value would start new lines, that is new keys.
std::string WithoutLineBreaks(std::string_view value) {
  std::string clean(value);
  std::replace_if(
      clean.begin(), clean.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return clean;
}

std::string GetWide(std::string_view section, std::string_view key, std::string_view lpDefault,
                    int bufferSize, const std::string& path) {
  std::vector<wchar_t> buffer(bufferSize, L'\0');
  const DWORD length = GetPrivateProfileStringW(
      win32::Widen(section).c_str(), win32::Widen(key).c_str(), win32::Widen(lpDefault).c_str(),
      buffer.data(), static_cast<DWORD>(buffer.size()), win32::Widen(path).c_str());
  return win32::Narrow(std::wstring_view(buffer.data(), length));
}

std::string GetAnsi(std::string_view section, std::string_view key, std::string_view lpDefault,
                    int bufferSize, const std::string& path) {
  std::vector<char> buffer(bufferSize, '\0');
  const DWORD length = GetPrivateProfileStringA(
      win32::ToAnsi(section).c_str(), win32::ToAnsi(key).c_str(), win32::ToAnsi(lpDefault).c_str(),
      buffer.data(), static_cast<DWORD>(buffer.size()), win32::ToAnsi(path).c_str());
  const bool filled = bufferSize > 0 && length == static_cast<DWORD>(bufferSize - 1);
  return ValueFromCodePage(std::string_view(buffer.data(), length), SystemCodePage(),
                           filled ? BufferFill::kFull : BufferFill::kRoomLeft);
}

class Win32ProfileFile final : public ProfileFile {
 public:
  std::string GetString(std::string_view lpAppName, std::string_view lpKeyName,
                        std::string_view lpDefault, int bufferSize,
                        const std::string& lpFileName) override {
    const KeyRequest keys[] = {{lpKeyName, lpDefault}};
    return std::move(GetStrings(lpAppName, keys, bufferSize, lpFileName).front());
  }

  // One call of the service per key, as the service offers no other way;
  // the file's mark is looked at once.
  std::vector<std::string> GetStrings(std::string_view lpAppName, std::span<const KeyRequest> keys,
                                      int bufferSize, const std::string& lpFileName) override {
    const auto get = HoldsUnicode(lpFileName) ? GetWide : GetAnsi;
    std::vector<std::string> values;
    values.reserve(keys.size());
    for (const KeyRequest& key : keys) {
      values.push_back(get(lpAppName, key.lpKeyName, key.lpDefault, bufferSize, lpFileName));
    }
    return values;
  }

  Status WriteString(std::string_view lpAppName, std::string_view lpKeyName,
                     std::string_view lpString, const std::string& lpFileName) override {
    const std::string value = WithoutLineBreaks(lpString);
    const BOOL written =
        HoldsUnicode(lpFileName)
            ? WritePrivateProfileStringW(
                  win32::Widen(lpAppName).c_str(), win32::Widen(lpKeyName).c_str(),
                  win32::Widen(value).c_str(), win32::Widen(lpFileName).c_str())
            : WritePrivateProfileStringA(win32::ToAnsi(lpAppName).c_str(),
                                         win32::ToAnsi(lpKeyName).c_str(),
                                         ValueToCodePage(value, SystemCodePage()).c_str(),
                                         win32::ToAnsi(lpFileName).c_str());
    if (!written) return Status::Failure(lpFileName + ": " + win32::LastErrorText());
    return Status::Ok();
  }
};

}  // namespace

ProfileFile& SystemProfileFile() {
  static Win32ProfileFile profile;
  return profile;
}

}  // namespace platform
