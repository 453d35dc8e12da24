#include "platform/win32/text.h"

#include <windows.h>

namespace platform::win32 {
namespace {

std::wstring ToUtf16(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  int size = static_cast<int>(text.size());
  int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring wide(length, L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string FromUtf16(UINT codePage, std::wstring_view wide) {
  if (wide.empty()) return {};
  int size = static_cast<int>(wide.size());
  int length = WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(length, '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
  return text;
}

}  // namespace

std::wstring Widen(std::string_view utf8) { return ToUtf16(CP_UTF8, utf8); }
std::string Narrow(std::wstring_view utf16) { return FromUtf16(CP_UTF8, utf16); }
std::string ToAnsi(std::string_view utf8) { return FromUtf16(CP_ACP, Widen(utf8)); }
std::string FromAnsi(std::string_view ansi) { return Narrow(ToUtf16(CP_ACP, ansi)); }

}  // namespace platform::win32
