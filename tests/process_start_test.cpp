#include "platform/process_start.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "temp_folder.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WorkingDirectory;

// A client that records its arguments (one a line), its working directory and
// whether it leads a session of its own, then renames the record into place
// so a reader never sees half of it.
constexpr const char* kRecordingClient = R"sh(#!/bin/sh
out="$(dirname "$0")/record"
{
  for arg in "$0" "$@"; do printf '[%s]\n' "$arg"; done
  printf 'cwd=%s\n' "$(pwd)"
  sid=$(cut -d' ' -f6 /proc/$$/stat)
  [ "$sid" = "$$" ] && echo "own session"
} > "$out.tmp"
mv "$out.tmp" "$out"
)sh";

std::filesystem::path Executable(const TempFolder& folder, const std::string& name,
                                 const std::string& content) {
  std::filesystem::path path = folder.Write(name, content);
  chmod(path.c_str(), 0755);
  return path;
}

// The client runs on its own; wait for its record, within a generous bound.
std::string AwaitRecord(const std::filesystem::path& record) {
  for (int i = 0; i < 1000 && !std::filesystem::exists(record); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return ReadFile(record);
}

TEST(SystemProcessStart, StartsARelativeClientWithLiteralArguments) {
  TempFolder folder;
  Executable(folder, "client bin", kRecordingClient);
  WorkingDirectory cwd(folder.path());

  const std::string commandLine = "client bin $(touch${IFS}pwned) `touch${IFS}pwned` ;|&& 'q\"* 0";
  ASSERT_TRUE(platform::SystemProcessStart().Start("client bin", commandLine).ok());

  const std::string arguments =
      "[client bin]\n[$(touch${IFS}pwned)]\n[`touch${IFS}pwned`]\n[;|&&]\n['q\"*]\n[0]\n";
  EXPECT_EQ(AwaitRecord(folder / "record"),
            arguments + "cwd=" + folder.path().string() + "\nown session\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "pwned"));
}

TEST(SystemProcessStart, FailuresAreKnownBeforeStartReturns) {
  TempFolder folder;
  folder.Write("not-executable", "#!/bin/sh\n");
  Executable(folder, "no-interpreter", "#!/nonexistent/shell\n");
  Executable(folder, "garbage", "\x7f" + std::string("ELF\x01\x02 not really"));
  std::filesystem::create_directory(folder / "a-folder");
  WorkingDirectory cwd(folder.path());

  struct Case {
    std::string program;
    std::string reason;
  };
  const Case cases[] = {
      {"not-executable", "Permission denied"},
      {"no-interpreter", "No such file or directory (the interpreter it names is missing)"},
      {"garbage", "Exec format error"},
      {"a-folder", "Permission denied"},
      {"sh", "No such file or directory"},  // never searched for in PATH
  };
  for (const Case& c : cases) {
    platform::Status started = platform::SystemProcessStart().Start(c.program, c.program + " x");
    ASSERT_FALSE(started.ok()) << c.program;
    EXPECT_EQ(started.message(), c.program + ": " + c.reason);
  }
}

}  // namespace
