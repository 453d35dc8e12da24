// The real Windows services (run under Wine here): file search, process
// start, the profile file's ANSI texts and failures and the program folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "platform/file_search.h"
#include "platform/process_start.h"
#include "platform/profile_file.h"
#include "platform/program_folder.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::AwaitRecord;
using testing_support::ReadFile;
using testing_support::Utf8;

// A new, empty folder that is also the working directory for one test.
struct WorkFolder {
  testing_support::TempFolder folder;
  testing_support::WorkingDirectory cwd{folder.path()};

  const fs::path& path() const { return folder.path(); }
  fs::path Write(const fs::path& name, std::string_view content) const {
    return folder.Write(name, content);
  }
};

TEST(SystemFileSearch, CountsOnlyTheOrdinaryAttributeSet) {
  WorkFolder folder;
  folder.Write("client.bin", "x");
  SetFileAttributesW(folder.Write("readonly.bin", "x").c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW(folder.Write("hidden.bin", "x").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesW(folder.Write("system.bin", "x").c_str(), FILE_ATTRIBUTE_SYSTEM);
  SetFileAttributesW(folder.Write("h1.dat", "x").c_str(), FILE_ATTRIBUTE_HIDDEN);
  folder.Write("h2.dat", "x");
  fs::create_directory(folder.path() / "folder.bin");

  struct Case {
    std::string name;
    bool found;
  };
  const Case cases[] = {
      {"client.bin", true},  {".\\client.bin", true}, {Utf8(folder.path() / "client.bin"), true},
      {"CLIENT.BIN", true},  {"readonly.bin", true},  {"hidden.bin", false},
      {"system.bin", false}, {"folder.bin", false},   {"absent.bin", false},
      {"h*.dat", true},  // a wildcard: the hidden match does not count, the other does
      {"h1.*", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::SystemFileSearch().FindsOrdinaryFile(c.name), c.found) << c.name;
  }
  for (const char* name : {"readonly.bin", "hidden.bin", "system.bin", "h1.dat"}) {
    SetFileAttributesW((folder.path() / name).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// The fake client (fake_client.exe, beside this test) copied to `name`.
fs::path InstallFakeClient(const WorkFolder& folder, const fs::path& name) {
  fs::path client = folder.path() / name;
  fs::create_directories(client.parent_path());
  fs::copy_file(fs::u8path(platform::ProgramFolder() + "fake_client.exe"), client);
  return client;
}

TEST(SystemProcessStart, StartsAnyExtensionAsAProgramWithTheWordsAsTyped) {
  WorkFolder folder;
  InstallFakeClient(folder, "kestrune.bin");

  const std::string commandLine = "kestrune.bin NAME 127.0.0.1 \"q\"%PATH%&|^ ";
  ASSERT_TRUE(platform::SystemProcessStart().Start("kestrune.bin", commandLine).ok());

  EXPECT_EQ(AwaitRecord(folder.path() / "record.txt"),
            "cmdline=" + commandLine + "\ncwd=" + Utf8(folder.path()) +
                "\nshow=1\nuseshowwindow=yes\nprogram=" + Utf8(folder.path() / "kestrune.bin") +
                "\n");
}

TEST(SystemProcessStart, QuotesAProgramPathThatHoldsABlank) {
  WorkFolder folder;
  InstallFakeClient(folder, "game client\\client.exe");

  ASSERT_TRUE(platform::SystemProcessStart()
                  .Start("game client\\client.exe", "game client\\client.exe N 1.2.3.4  ")
                  .ok());

  EXPECT_EQ(AwaitRecord(folder.path() / "game client" / "record.txt"),
            "cmdline=\"game client\\client.exe\" N 1.2.3.4  \ncwd=" + Utf8(folder.path()) +
                "\nshow=1\nuseshowwindow=yes\nprogram=" +
                Utf8(folder.path() / "game client" / "client.exe") + "\n");
}

TEST(SystemProcessStart, NeverSearchesThePath) {
  WorkFolder folder;
  platform::Status started = platform::SystemProcessStart().Start("cmd.exe", "cmd.exe /c exit");
  ASSERT_FALSE(started.ok());
  EXPECT_EQ(started.message().rfind("cmd.exe: ", 0), 0u) << started.message();
  EXPECT_NE(started.message().find("(error 2)"), std::string::npos) << started.message();
}

TEST(SystemProcessStart, AFileThatIsNotAProgramFailsWithTheSystemsReason) {
  WorkFolder folder;
  folder.Write("kestrune.bin", "not a program");
  platform::Status started =
      platform::SystemProcessStart().Start("kestrune.bin", "kestrune.bin N 1 2 3");
  ASSERT_FALSE(started.ok());
  EXPECT_EQ(started.message().rfind("kestrune.bin: ", 0), 0u) << started.message();
  EXPECT_NE(started.message().find("(error 193)"), std::string::npos) << started.message();
}

TEST(SystemProfileFile, TextsCrossInTheAnsiCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs the Western European code page";
  WorkFolder folder;
  std::string file = Utf8(folder.path() / "game.ini");

  ASSERT_TRUE(platform::SystemProfileFile()
                  .WriteString("Connector", "LastServerName", "Caf\u00e9 \u20ac", file)
                  .ok());

  EXPECT_EQ(ReadFile(folder.path() / "game.ini"), "[Connector]\r\nLastServerName=Caf\xe9 \x80\r\n");
  EXPECT_EQ(platform::SystemProfileFile().GetString("Connector", "LastServerName", "", 255, file),
            "Caf\u00e9 \u20ac");
  // Characters the code page lacks are stored as UTF-8, not as '?'.
  ASSERT_TRUE(
      platform::SystemProfileFile().WriteString("Connector", "LastIp", "\u4e2d", file).ok());
  EXPECT_NE(ReadFile(folder.path() / "game.ini").find("LastIp=\u4e2d\r\n"), std::string::npos);
  EXPECT_EQ(platform::SystemProfileFile().GetString("Connector", "LastIp", "", 255, file),
            "\u4e2d");
}

TEST(SystemProfileFile, AFailedWriteNamesTheFileAndTheReason) {
  WorkFolder folder;
  fs::create_directory(folder.path() / "game.ini");
  std::string file = Utf8(folder.path() / "game.ini");

  platform::Status written =
      platform::SystemProfileFile().WriteString("Connector", "LastPort", "1", file);

  ASSERT_FALSE(written.ok());
  EXPECT_EQ(written.message().rfind(file + ": ", 0), 0u) << written.message();
  EXPECT_NE(written.message().find("(error "), std::string::npos) << written.message();
}

TEST(ProgramFolder, IsTheExecutablesFolderWithItsSeparator) {
  WorkFolder elsewhere;
  std::string folder = platform::ProgramFolder();
  ASSERT_EQ(folder.back(), '\\');
  EXPECT_TRUE(fs::exists(fs::u8path(folder + "windows_platform_tests.exe")));
}

}  // namespace
