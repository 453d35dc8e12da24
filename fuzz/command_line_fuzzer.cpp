// The client command-line splitter: argv[0] is the program whole, and the
// other arguments are exactly the command line's words after it, in order,
// none empty and none holding a blank.
// Input: program NUL the rest of the command line. Both the command line
// that starts with the program and the rest alone are split.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "platform/command_line.h"

namespace {

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words(1);
  for (char c : text) {
    if (c != ' ') {
      words.back() += c;
    } else if (!words.back().empty()) {
      words.emplace_back();
    }
  }
  if (words.back().empty()) words.pop_back();
  return words;
}

void CheckSplit(std::string_view program, std::string_view commandLine, std::string_view rest) {
  const std::vector<std::string> argv = platform::SplitCommandLine(program, commandLine);
  fuzz::Check(!argv.empty() && argv[0] == program, "argv[0] is the program whole");
  const std::vector<std::string> words = Words(rest);
  fuzz::Check(std::vector<std::string>(argv.begin() + 1, argv.end()) == words,
              "the other arguments are the words after the program");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto fields = fuzz::Fields(fuzz::AsText(data, size), 2);
  const std::string_view program = fields[0], rest = fields[1];
  CheckSplit(program, std::string(program) + std::string(rest), rest);
  if (!rest.starts_with(program)) CheckSplit(program, rest, rest);
  return 0;
}
