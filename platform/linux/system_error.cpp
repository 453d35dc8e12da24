#include "platform/linux/system_error.h"

#include <system_error>

namespace platform::linux_os {

// generic_category's messages are strerror's, without its shared buffer.
std::string ErrorText(int error) { return std::generic_category().message(error); }

}  // namespace platform::linux_os
