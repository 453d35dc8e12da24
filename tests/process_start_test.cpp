#include "platform/process_start.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/files.h"
#include "support/recording_client.h"
#include "support/temp_folder.h"

namespace {

using testing_support::AwaitRecord;
using testing_support::kRecordingClient;
using testing_support::Recorded;
using testing_support::TempFolder;
using testing_support::WorkingDirectory;

TEST(SystemProcessStart, StartsARelativeClientWithLiteralArguments) {
  TempFolder folder;
  folder.WriteExecutable("client bin", kRecordingClient);
  WorkingDirectory cwd(folder.path());

  const std::string commandLine = "client bin $(touch${IFS}pwned) `touch${IFS}pwned` ;|&& 'q\"* 0";
  ASSERT_TRUE(platform::SystemProcessStart().Start("client bin", commandLine).ok());

  EXPECT_EQ(AwaitRecord(folder / "record"), Recorded({"client bin", "$(touch${IFS}pwned)",
                                                      "`touch${IFS}pwned`", ";|&&", "'q\"*", "0"},
                                                     folder.path()));
  EXPECT_FALSE(std::filesystem::exists(folder / "pwned"));
}

TEST(SystemProcessStart, FailuresAreKnownBeforeStartReturns) {
  TempFolder folder;
  folder.Write("not-executable", "#!/bin/sh\n");
  folder.WriteExecutable("no-interpreter", "#!/nonexistent/shell\n");
  folder.WriteExecutable("garbage", "\x7f" + std::string("ELF\x01\x02 not really"));
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

// The bytes a Windows program starts with: a DOS header whose last field
// points at the PE signature.
std::string WindowsProgram() {
  std::string program(0x40, '\0');
  program[0] = 'M';
  program[1] = 'Z';
  program[0x3C] = 0x40;
  return program + std::string("PE\0\0", 4) + "rest of the program";
}

// Sets PATH for one test.
class PathVariable {
 public:
  explicit PathVariable(const std::string& path) {
    if (const char* previous = getenv("PATH")) previous_ = previous;
    setenv("PATH", path.c_str(), 1);
  }
  ~PathVariable() { setenv("PATH", previous_.c_str(), 1); }
  PathVariable(const PathVariable&) = delete;
  PathVariable& operator=(const PathVariable&) = delete;

 private:
  std::string previous_;
};

TEST(SystemProcessStart, StartsAWindowsProgramThroughWineFromPath) {
  TempFolder folder;
  std::filesystem::create_directories(folder / "bin");
  std::filesystem::create_directories(folder / "game/bin");
  folder.WriteExecutable("bin/wine", kRecordingClient);
  folder.WriteExecutable("game/bin/wine", kRecordingClient);
  folder.Write("game/kestrune.bin", WindowsProgram());  // unpacked from a zip: no execute bit
  folder.WriteExecutable("game/client.exe", WindowsProgram());
  WorkingDirectory cwd(folder / "game");
  // A relative folder in PATH is passed over: it would be the game's own.
  // The system's folders come after, for the tools the recording client uses.
  PathVariable path("bin:/nonexistent:" + (folder / "bin").string() + ":/usr/bin:/bin");

  for (const std::string client : {"kestrune.bin", "client.exe"}) {
    SCOPED_TRACE(client);
    std::filesystem::remove(folder / "bin/record");
    ASSERT_TRUE(platform::SystemProcessStart().Start(client, client + " N 1.2.3.4 2597 0").ok());
    EXPECT_EQ(AwaitRecord(folder / "bin/record"),
              Recorded({(folder / "bin/wine").string(), (folder / "game" / client).string(), "N",
                        "1.2.3.4", "2597", "0"},
                       folder / "game"));
  }
  EXPECT_FALSE(std::filesystem::exists(folder / "game/bin/record"));
}

TEST(SystemProcessStart, AWindowsProgramWithoutWineSaysWhatIsMissing) {
  TempFolder folder;
  folder.Write("kestrune.bin", WindowsProgram());
  folder.Write("dos.bin", "MZ, but no PE header");
  WorkingDirectory cwd(folder.path());
  PathVariable path((folder / "nowhere").string());

  const platform::Status windows =
      platform::SystemProcessStart().Start("kestrune.bin", "kestrune.bin N 1.2.3.4 2597 0");
  ASSERT_FALSE(windows.ok());
  EXPECT_EQ(windows.message(),
            "kestrune.bin is a Windows program, and Wine is needed to start it: no \"wine\" was "
            "found on PATH.");
  // Anything else is started as it is.
  const platform::Status dos = platform::SystemProcessStart().Start("dos.bin", "dos.bin N");
  ASSERT_FALSE(dos.ok());
  EXPECT_EQ(dos.message(), "dos.bin: Permission denied");
}

}  // namespace
