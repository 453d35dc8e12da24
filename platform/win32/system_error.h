// The one place a Windows error code becomes text for the user.
#pragma once

#include <string>

namespace platform::win32 {

// The system's description of `code` (FormatMessageW) followed by the code,
// e.g. "Access is denied. (error 5)".
std::string SystemErrorText(unsigned long code);

// SystemErrorText(GetLastError()).
std::string LastErrorText();

}  // namespace platform::win32
