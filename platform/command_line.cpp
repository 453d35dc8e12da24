#include "platform/command_line.h"

namespace platform {

std::vector<std::string> SplitCommandLine(std::string_view program, std::string_view commandLine) {
  std::vector<std::string> argv{std::string(program)};
  std::string_view rest =
      commandLine.starts_with(program) ? commandLine.substr(program.size()) : commandLine;
  std::size_t start = 0;
  while (start < rest.size()) {
    start = rest.find_first_not_of(' ', start);
    if (start == std::string_view::npos) break;
    std::size_t end = rest.find(' ', start);
    if (end == std::string_view::npos) end = rest.size();
    argv.emplace_back(rest.substr(start, end - start));
    start = end;
  }
  return argv;
}

}  // namespace platform
