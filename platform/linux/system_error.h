// The one place an errno becomes text for the user.
#pragma once

#include <string>

namespace platform::linux_os {

// The system's description of `error`, e.g. "Permission denied".
std::string ErrorText(int error);

}  // namespace platform::linux_os
