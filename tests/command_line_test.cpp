#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SplitCommandLine, KeepsTheProgramWholeAndSplitsTheRestAtBlanks) {
  struct Case {
    std::string program, commandLine;
    std::vector<std::string> argv;
  };
  const Case cases[] = {
      {"kestrune.bin",
       "kestrune.bin NAME 127.0.0.1 2597 0",
       {"kestrune.bin", "NAME", "127.0.0.1", "2597", "0"}},
      {"my client", "my client NAME h  ", {"my client", "NAME", "h"}},
      {"c", "c $(touch x) ;|&& 'q\"", {"c", "$(touch", "x)", ";|&&", "'q\""}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::SplitCommandLine(c.program, c.commandLine), c.argv) << c.commandLine;
  }
}

}  // namespace
