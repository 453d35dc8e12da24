// The Linux profile-file service on real files in a temporary folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "platform/profile_file.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using testing_support::Names;
using testing_support::ReadFile;
using testing_support::WriteFile;

constexpr int kBufferSize = 255;

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0);
  return info.st_mode & 07777;
}

ino_t InodeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0);
  return info.st_ino;
}

std::string AsUnprivileged(const std::function<std::string()>& body) {
  return testing_support::InChild(body, testing_support::Privileges::kNobody);
}

class ProfileFileLinux : public testing::Test {
 protected:
  // The unprivileged cases need to reach into the folder.
  void SetUp() override { chmod(folder_.c_str(), 0755); }

  // Cases take permissions away that removing the folder needs.
  void TearDown() override {
    for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
      if (!entry.is_symlink()) chmod(entry.path().c_str(), 0755);
    }
  }

  std::string Read(std::string_view key, std::string_view defaultValue = "dflt") {
    return profile_.GetString("Connector", key, defaultValue, kBufferSize, path_);
  }
  Status Write(std::string_view key, std::string_view value) {
    return profile_.WriteString("Connector", key, value, path_);
  }

  ProfileFile& profile_ = SystemProfileFile();
  testing_support::TempFolder temp_;
  const fs::path folder_ = temp_.path();
  const std::string path_ = (folder_ / "game.ini").string();
};

TEST_F(ProfileFileLinux, CreatesAMissingFileReadableOnWindows) {
  EXPECT_EQ(Read("LastPort", "2597"), "2597");
  ASSERT_TRUE(Write("LastPort", "2600").ok());
  EXPECT_EQ(ReadFile(path_), "[Connector]\r\nLastPort=2600\r\n");
  EXPECT_EQ(Read("LastPort", "2597"), "2600");
}

TEST_F(ProfileFileLinux, ReplacesTheFileWholeAndKeepsOtherLines) {
  WriteFile(path_, "; mine\n[Other]\nLastIp=1\n[Connector]\nLastIp=2\n");
  const ino_t before = InodeOf(path_);
  ASSERT_TRUE(Write("LastIp", "10.0.0.1").ok());
  EXPECT_EQ(ReadFile(path_), "; mine\n[Other]\nLastIp=1\n[Connector]\nLastIp=10.0.0.1\n");
  EXPECT_NE(InodeOf(path_), before) << "written in place, not renamed over";
  EXPECT_EQ(Names(folder_), "game.ini ");
}

TEST_F(ProfileFileLinux, SameValueLeavesTheFileUntouched) {
  WriteFile(path_, "[Connector]\nLastIp=1\n");
  const ino_t before = InodeOf(path_);
  ASSERT_TRUE(Write("LastIp", "1").ok());
  EXPECT_EQ(InodeOf(path_), before);
}

TEST_F(ProfileFileLinux, LongValueComesBackCut) {
  ASSERT_TRUE(Write("LastServerName", std::string(300, 'n')).ok());
  EXPECT_EQ(Read("LastServerName"), std::string(254, 'n'));
}

TEST_F(ProfileFileLinux, SymbolicLinkStaysALink) {
  const struct {
    const char* what;
    std::function<void(const fs::path& folder, const fs::path& link)> make;
    fs::path target;
  } cases[] = {
      {"relative link",
       [](const fs::path& folder, const fs::path& link) {
         fs::create_directory(folder / "real");
         WriteFile(folder / "real/target.ini", "[Connector]\nLastIp=1\n");
         fs::create_symlink("real/target.ini", link);
       },
       "real/target.ini"},
      {"chain of links",
       [](const fs::path& folder, const fs::path& link) {
         WriteFile(folder / "target.ini", "[Connector]\nLastIp=1\n");
         fs::create_symlink(folder / "middle.ini", link);
         fs::create_symlink("target.ini", folder / "middle.ini");
       },
       "target.ini"},
      {"dangling link",
       [](const fs::path&, const fs::path& link) { fs::create_symlink("new.ini", link); },
       "new.ini"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(folder_);
    fs::create_directory(folder_);
    c.make(folder_, path_);
    const fs::path linkTarget = fs::read_symlink(path_);
    ASSERT_TRUE(Write("LastIp", "2").ok());
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(fs::read_symlink(path_), linkTarget);
    EXPECT_EQ(profile_.GetString("Connector", "LastIp", "", kBufferSize, folder_ / c.target), "2");
  }
}

TEST_F(ProfileFileLinux, PermissionBitsAreKept) {
  for (mode_t mode : {0600, 0640, 0664, 0604}) {
    SCOPED_TRACE(mode);
    WriteFile(path_, "[Connector]\nLastIp=1\n");
    chmod(path_.c_str(), mode);
    ASSERT_TRUE(Write("LastIp", std::to_string(mode)).ok());
    EXPECT_EQ(ModeOf(path_), mode);
  }
}

// Each of these must read as missing at once, without blocking, and refuse a
// write while leaving what is there alone.
TEST_F(ProfileFileLinux, NonRegularFilesReadAsMissingAndRefuseWrites) {
  const struct {
    const char* what;
    std::function<void(const std::string& path)> make;
    std::string writeFailure;  // after "<path>: "
  } cases[] = {
      {"FIFO", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); },
       "Not a regular file"},
      {"directory", [](const std::string& path) { fs::create_directory(path); }, "Is a directory"},
      {"link to /dev/zero", [](const std::string& path) { fs::create_symlink("/dev/zero", path); },
       "Not a regular file"},
      {"link to /dev/urandom",
       [](const std::string& path) { fs::create_symlink("/dev/urandom", path); },
       "Not a regular file"},
      {"link loop", [](const std::string& path) { fs::create_symlink(path, path); },
       "Too many levels of symbolic links"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.make(path_);
    EXPECT_EQ(Read("LastIp", "127.0.0.1"), "127.0.0.1");
    const Status status = Write("LastIp", "1");
    EXPECT_EQ(status.message(), path_ + ": " + c.writeFailure);
    EXPECT_EQ(Names(folder_), "game.ini ");
    fs::remove_all(path_);
  }
}

TEST_F(ProfileFileLinux, DanglingLinkReadsAsMissing) {
  fs::create_symlink("nowhere.ini", path_);
  EXPECT_EQ(Read("LastIp", "127.0.0.1"), "127.0.0.1");
}

// As an ordinary user: root would ignore every permission bit.
TEST_F(ProfileFileLinux, ReadOnlyFolderOrFileFailsNamingTheFile) {
  const struct {
    const char* what;
    mode_t folderMode;
    bool fileExists;
    mode_t fileMode;
  } cases[] = {
      {"read-only folder, no file", 0555, false, 0},
      {"read-only folder, writable file", 0555, true, 0666},
      {"writable folder, read-only file", 0777, true, 0444},
      {"unreadable file", 0777, true, 0},
  };
  const std::string original = "[Connector]\r\nLastIp=1\r\n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.fileExists) {
      WriteFile(path_, original);
      chmod(path_.c_str(), c.fileMode);
    }
    chmod(folder_.c_str(), c.folderMode);
    const std::string message = AsUnprivileged([this] { return Write("LastIp", "2").message(); });
    EXPECT_EQ(message, path_ + ": Permission denied");
    chmod(folder_.c_str(), 0755);
    EXPECT_EQ(fs::exists(path_), c.fileExists);
    if (c.fileExists) {
      EXPECT_EQ(ReadFile(path_), original);
    }
    EXPECT_EQ(Names(folder_), c.fileExists ? "game.ini " : "");
    fs::remove(path_);
  }
}

TEST_F(ProfileFileLinux, UnreadableFileReadsAsMissing) {
  WriteFile(path_, "[Connector]\nLastIp=1\n");
  chmod(path_.c_str(), 0);
  EXPECT_EQ(AsUnprivileged([this] { return Read("LastIp", "127.0.0.1"); }), "127.0.0.1");
}

// A write that fails half-way (here: the file size limit, as a full disk
// would) leaves the old file and no temporary one.
TEST_F(ProfileFileLinux, FailedWriteLeavesTheOldFile) {
  const std::string original = "[Connector]\nLastIp=1\n;" + std::string(8000, 'c') + "\n";
  WriteFile(path_, original);
  const std::string message = testing_support::InChild([this] {
    signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    return Write("LastIp", "2").message();
  });
  EXPECT_EQ(message, path_ + ": File too large");
  EXPECT_EQ(ReadFile(path_), original);
  EXPECT_EQ(Names(folder_), "game.ini ");
}

TEST_F(ProfileFileLinux, LeftoverOfAKilledSaveIsGoneAfterTheNextSave) {
  const fs::path temporary = folder_ / ".game.ini.tmp";
  const fs::path victim = folder_ / "victim";
  const struct {
    const char* what;
    std::function<void()> make;
    std::string saved;  // "1" is already there: a save that changes nothing
  } cases[] = {
      {"half-written file", [&] { WriteFile(temporary, "[Connector]\nLastIp=hal"); }, "2"},
      {"link to another file", [&] { fs::create_symlink(victim, temporary); }, "2"},
      {"half-written file, unchanged value",
       [&] { WriteFile(temporary, "[Connector]\nLastIp=hal"); }, "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(path_, "[Connector]\nLastIp=1\n");
    WriteFile(victim, "untouched");
    c.make();
    ASSERT_TRUE(Write("LastIp", c.saved).ok());
    EXPECT_EQ(ReadFile(path_), "[Connector]\nLastIp=" + c.saved + "\n");
    EXPECT_EQ(ReadFile(victim), "untouched");
    EXPECT_FALSE(fs::exists(fs::symlink_status(temporary)));
    fs::remove(victim);
  }
}

}  // namespace
}  // namespace platform
