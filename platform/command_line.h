// Splitting a client command line into a program's arguments, for systems
// whose process start takes an argument vector.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// argv for `commandLine`, which begins with `program`: argv[0] is `program`
// whole (blanks included), the rest are the words after it, split at runs of
// blanks. Empty words leave no argument.
std::vector<std::string> SplitCommandLine(std::string_view program, std::string_view commandLine);

}  // namespace platform
