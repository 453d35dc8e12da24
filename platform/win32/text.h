// Text at the Windows boundary: the core speaks UTF-8, the window UTF-16 and
// the A-functions (profile file, SENSAPI) the ANSI code page.
#pragma once

#include <string>
#include <string_view>

namespace platform::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// Characters the ANSI code page lacks become its default character ('?').
std::string ToAnsi(std::string_view utf8);
std::string FromAnsi(std::string_view ansi);

}  // namespace platform::win32
