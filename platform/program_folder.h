// The folder that holds the running program's executable.
#pragma once

#include <string>

namespace platform {

// The executable's folder (UTF-8) ending in the path separator, so a file
// name appended to it names a file beside the program. Independent of the
// working directory.
std::string ProgramFolder();

}  // namespace platform
