// Inputs meant to hurt, through the real services: a client binary that is
// no program, fields that try to reach a shell, and game.ini files that are
// huge, binary or not UTF-8. Each has a clear result, and nothing is lost.
// (The other kinds of game.ini, which are not regular files, are in
// profile_file_linux_test.cpp.)
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <random>
#include <string>
#include <thread>

#include "actions/launch_client.h"
#include "platform/file_search.h"
#include "platform/process_start.h"
#include "platform/profile_file.h"
#include "settings/settings_file.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/recording_client.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using actions::LaunchOutcome;
using settings::ConnectorFields;
using testing_support::AwaitRecord;
using testing_support::InChild;
using testing_support::kRecordingClient;
using testing_support::ReadFile;
using testing_support::Recorded;
using testing_support::TempFolder;
using testing_support::WorkingDirectory;

actions::LaunchResult Launch(const ConnectorFields& fields) {
  const actions::ClientLauncher launcher(platform::SystemFileSearch(),
                                         platform::SystemProcessStart());
  return launcher.LaunchClient(actions::WithoutBlanks(fields));
}

ConnectorFields WithClient(const std::string& client) {
  return {.clientBinary = client,
          .serverName = "NAME",
          .serverAddress = "127.0.0.1",
          .port = "2597",
          .tileSet = "0"};
}

TEST(HostileInput, AClientThatIsNoProgramIsReportedAndNothingRuns) {
  TempFolder folder;
  WorkingDirectory cwd(folder.path());
  fs::create_directory("folder.bin");
  ASSERT_EQ(mkfifo("fifo.bin", 0755), 0);
  fs::create_symlink("gone.bin", "dangling.bin");
  folder.Write("plain.bin", "#!/bin/sh\ntouch ran\n");
  folder.WriteExecutable("orphan.bin", "#!/nonexistent/shell\ntouch ran\n");
  const std::string longPath = std::string(10000, 'p');
  const std::string deepPath = [] {
    std::string path;
    while (path.size() < 10000) path += "deep/";
    return path + "client.bin";
  }();

  struct Case {
    std::string client;
    LaunchOutcome outcome;
    std::string message;
  };
  const Case cases[] = {
      {"folder.bin", LaunchOutcome::kNotFound, "folder.bin not found!"},
      {"fifo.bin", LaunchOutcome::kNotFound, "fifo.bin not found!"},
      {"dangling.bin", LaunchOutcome::kNotFound, "dangling.bin not found!"},
      {"plain.bin", LaunchOutcome::kFailed, "plain.bin: Permission denied"},
      {"orphan.bin", LaunchOutcome::kFailed,
       "orphan.bin: No such file or directory (the interpreter it names is missing)"},
      {longPath, LaunchOutcome::kNotFound, longPath + " not found!"},
      {deepPath, LaunchOutcome::kNotFound, deepPath + " not found!"},
      {"$(touch ran)", LaunchOutcome::kNotFound, "$(touch ran) not found!"},
      {"*.bin", LaunchOutcome::kNotFound, "*.bin not found!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.client.substr(0, 40));
    const actions::LaunchResult result = Launch(WithClient(c.client));
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.message, c.message);
  }
  EXPECT_FALSE(fs::exists("ran"));
}

// Each field's text arrives as the client's argument byte for byte: no
// shell, no globbing, no splitting but at blanks, which the word fields lose.
TEST(HostileInput, FieldsArriveLiterallyAndNothingElseRuns) {
  TempFolder folder;
  folder.WriteExecutable("client", kRecordingClient);
  folder.Write("a.txt", "");
  WorkingDirectory cwd(folder.path());
  const std::string tenThousand(10000, 'x');
  const std::string shell = "$(touch${IFS}pwned)`touch${IFS}pwned`;|&&'\"*?[a]~";

  struct Case {
    const char* what;
    ConnectorFields fields;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {
      {"shell text and globs in every field",
       {"client", "$(touch pwned)", "`touch pwned`;|&&", shell, "*"},
       {"client", "$(touchpwned)", "`touchpwned`;|&&", shell, "*"}},
      {"newline and tab in the name",
       {"client", "a\nb\tc", "127.0.0.1", "1", "2"},
       {"client", "a\nbc", "127.0.0.1", "1", "2"}},
      {"fields of 10,000 characters",
       {"client", "NAME", tenThousand, tenThousand, tenThousand},
       {"client", "NAME", tenThousand, tenThousand, tenThousand}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove("record");
    ASSERT_EQ(Launch(c.fields).outcome, LaunchOutcome::kLaunched);
    EXPECT_EQ(AwaitRecord("record"), Recorded(c.arguments, folder.path()));
  }
  EXPECT_FALSE(fs::exists("pwned"));
}

TEST(HostileInput, AServerNameOf10000CharactersIsRefused) {
  TempFolder folder;
  folder.WriteExecutable("client", kRecordingClient);
  WorkingDirectory cwd(folder.path());
  ConnectorFields fields = WithClient("client");
  fields.serverName = std::string(10000, 'n');
  EXPECT_EQ(Launch(fields).outcome, LaunchOutcome::kRefused);
}

class HostileGameIni : public testing::Test {
 protected:
  ConnectorFields Load() const { return settings_.LoadFields(); }
  platform::Status Save(const ConnectorFields& fields) const {
    return settings_.SaveFields(fields);
  }

  TempFolder folder_;
  const fs::path ini_ = folder_ / "game.ini";
  settings::SettingsFile settings_{platform::SystemProfileFile(), folder_.path().string() + "/"};
};

const ConnectorFields kDefaults = {.clientBinary = "kestrune.bin",
                                   .serverName = "NAME",
                                   .serverAddress = "127.0.0.1",
                                   .port = "2597",
                                   .tileSet = "0"};

const ConnectorFields kSaved = {.clientBinary = "client.bin",
                                .serverName = "Server",
                                .serverAddress = "10.1.2.3",
                                .port = "7000",
                                .tileSet = "3"};

// Loading gives what is there or the defaults; a save changes the key lines
// only, and what came before the section comes through byte for byte.
TEST_F(HostileGameIni, ContentThatIsNoOrdinaryTextLoadsAndSavesWithoutLoss) {
  const std::string tenMegabytes(10 << 20, 'y');
  std::mt19937 random(6);
  std::string garbage(1 << 16, '\0');
  for (char& byte : garbage) byte = char(random() % 4 == 0 ? 0 : random());
  garbage[0] = 'g';  // not the start of a byte-order mark
  const std::string utf16 = std::string(
      "\xFF\xFE[\0C\0o\0n\0n\0e\0c\0t\0o\0r\0]\0\n\0L\0a\0s\0t\0I\0p\0=\0\xE9\0\n\0", 44);

  struct Case {
    const char* what;
    std::string content;
    ConnectorFields loaded;
    std::string kept;  // the start of the file, which a save leaves alone
  };
  const Case cases[] = {
      {"one line of 10 MB",
       "[Connector]\nLastIp=" + tenMegabytes + "\n",
       {"kestrune.bin", "NAME", tenMegabytes.substr(0, 254), "2597", "0"},
       "[Connector]\n"},
      {"binary garbage with NUL bytes", garbage, kDefaults, garbage},
      {"binary garbage before the section",
       garbage + "\n[Connector]\nLastPort=1\n",
       {"kestrune.bin", "NAME", "127.0.0.1", "1", "0"},
       garbage + "\n[Connector]\n"},
      {"UTF-16 with a byte-order mark",
       utf16,
       {"kestrune.bin", "NAME", "\xC3\xA9", "2597", "0"},
       utf16.substr(0, 24)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    folder_.Write("game.ini", c.content);
    EXPECT_EQ(Load(), c.loaded);
    ASSERT_TRUE(Save(kSaved).ok());
    EXPECT_EQ(Load(), kSaved);
    EXPECT_TRUE(ReadFile(ini_).starts_with(c.kept));
  }
}

// Bytes that are no UTF-8 are 8-bit text (the platform tests run in the C
// locale: code page 1252, whose undefined bytes read as C1 controls); saving
// them unchanged leaves the file exactly as it was.
TEST_F(HostileGameIni, TextThatIsNoUtf8IsReadInTheCodePageAndComesBackByteForByte) {
  const std::string invalid = "\xC3\x28\xFF\xFE\xED\xA0\x80\xF4\x90\x80\x80\xC0\xAF";
  const std::string inCodePage =
      "\u00C3(\u00FF\u00FE\u00ED\u00A0\u20AC\u00F4\u0090\u20AC\u20AC\u00C0\u00AF";
  const std::string content = "[Connector]\r\nBinName=" + invalid + "\r\nLastIp=" + invalid +
                              "\r\nLastServerName=" + invalid + "\r\nLastPort=" + invalid +
                              "\r\nLastTileSet=" + invalid + "\r\n";
  folder_.Write("game.ini", content);
  const ConnectorFields loaded = Load();
  EXPECT_EQ(loaded, (ConnectorFields{inCodePage, inCodePage, inCodePage, inCodePage, inCodePage}));
  ASSERT_TRUE(Save(loaded).ok());
  EXPECT_EQ(ReadFile(ini_), content);
}

long PeakKilobytes() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// 200 MB of other keys before the section: a read and a save take one pass
// each and hold a few pieces of the file at a time, never all of it.
TEST_F(HostileGameIni, A200MegabyteFileIsReadAndSavedInBoundedMemory) {
  {
    std::ofstream out(ini_, std::ios::binary);
    const std::string line = "Key=" + std::string(4090, 'v') + "\r\n";
    std::string block = "[Other]\r\n";
    while (block.size() < (1 << 20)) block += line;
    for (std::size_t written = 0; written < (200u << 20); written += block.size()) out << block;
    out << "[Connector]\r\nLastPort=1\r\n";
  }
  const auto size = fs::file_size(ini_);
  platform::ProfileFile& profile = platform::SystemProfileFile();
  const std::string result = InChild([&] {
    const long before = PeakKilobytes();
    const std::string port = profile.GetString("Connector", "LastPort", "2597", 255, ini_);
    if (port != "1") return "read " + port;
    if (!profile.WriteString("Connector", "LastPort", "2", ini_).ok()) return std::string("failed");
    const long growth = PeakKilobytes() - before;
    return growth < 64 * 1024 ? std::string("bounded")
                              : "grew by " + std::to_string(growth) + " kB";
  });
  EXPECT_EQ(result, "bounded");
  EXPECT_EQ(Load().port, "2");
  // One digit changed, nothing else.
  EXPECT_EQ(fs::file_size(ini_), size);
}

}  // namespace
