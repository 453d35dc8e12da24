// The POSIX profile-file service on real files in a temporary folder.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "platform/profile_file.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr int kBufferSize = 255;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string Names(const fs::path& folder) {
  std::string names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names += entry.path().filename().string() + " ";
  }
  return names;
}

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

// Runs `body` in a child process and returns what it returned. As root, the
// child first becomes "nobody", for whom permission bits count.
std::string InChild(const std::function<std::string()>& body, bool unprivileged) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "pipe failed";
  const pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    std::string result = "could not drop privileges";
    const struct passwd* nobody = getpwnam("nobody");
    const bool dropped = !unprivileged || geteuid() != 0 ||
                         (nobody && setgroups(0, nullptr) == 0 &&
                          setresgid(nobody->pw_gid, nobody->pw_gid, nobody->pw_gid) == 0 &&
                          setresuid(nobody->pw_uid, nobody->pw_uid, nobody->pw_uid) == 0);
    if (dropped) result = body();
    const ssize_t written = write(pipeFds[1], result.data(), result.size());
    _exit(written == ssize_t(result.size()) ? 0 : 1);
  }
  close(pipeFds[1]);
  std::string result;
  char buffer[4096];
  for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
    result.append(buffer, got);
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return result;
}

std::string AsUnprivileged(const std::function<std::string()>& body) { return InChild(body, true); }

class ProfileFilePosix : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "profile_file_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    // The unprivileged cases need to reach into it.
    chmod(folder_.c_str(), 0755);
    path_ = (folder_ / "game.ini").string();
  }

  void TearDown() override {
    for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
      if (!entry.is_symlink()) chmod(entry.path().c_str(), 0755);
    }
    chmod(folder_.c_str(), 0755);
    fs::remove_all(folder_);
  }

  std::string Read(std::string_view key, std::string_view defaultValue = "dflt") {
    return profile_.GetString("Connector", key, defaultValue, kBufferSize, path_);
  }
  Status Write(std::string_view key, std::string_view value) {
    return profile_.WriteString("Connector", key, value, path_);
  }

  ProfileFile& profile_ = SystemProfileFile();
  fs::path folder_;
  std::string path_;
};

TEST_F(ProfileFilePosix, CreatesAMissingFileReadableOnWindows) {
  EXPECT_EQ(Read("LastPort", "2597"), "2597");
  ASSERT_TRUE(Write("LastPort", "2600").ok());
  EXPECT_EQ(ReadFile(path_), "[Connector]\r\nLastPort=2600\r\n");
  EXPECT_EQ(Read("LastPort", "2597"), "2600");
}

TEST_F(ProfileFilePosix, ReplacesTheFileWholeAndKeepsOtherLines) {
  WriteFile(path_, "; mine\n[Other]\nLastIp=1\n[Connector]\nLastIp=2\n");
  const ino_t before = InodeOf(path_);
  ASSERT_TRUE(Write("LastIp", "10.0.0.1").ok());
  EXPECT_EQ(ReadFile(path_), "; mine\n[Other]\nLastIp=1\n[Connector]\nLastIp=10.0.0.1\n");
  EXPECT_NE(InodeOf(path_), before) << "written in place, not renamed over";
  EXPECT_EQ(Names(folder_), "game.ini ");
}

TEST_F(ProfileFilePosix, SameValueLeavesTheFileUntouched) {
  WriteFile(path_, "[Connector]\nLastIp=1\n");
  const ino_t before = InodeOf(path_);
  ASSERT_TRUE(Write("LastIp", "1").ok());
  EXPECT_EQ(InodeOf(path_), before);
}

TEST_F(ProfileFilePosix, LongValueComesBackCut) {
  ASSERT_TRUE(Write("LastServerName", std::string(300, 'n')).ok());
  EXPECT_EQ(Read("LastServerName"), std::string(254, 'n'));
}

TEST_F(ProfileFilePosix, SymbolicLinkStaysALink) {
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

TEST_F(ProfileFilePosix, PermissionBitsAreKept) {
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
TEST_F(ProfileFilePosix, NonRegularFilesReadAsMissingAndRefuseWrites) {
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

TEST_F(ProfileFilePosix, DanglingLinkReadsAsMissing) {
  fs::create_symlink("nowhere.ini", path_);
  EXPECT_EQ(Read("LastIp", "127.0.0.1"), "127.0.0.1");
}

// As an ordinary user: root would ignore every permission bit.
TEST_F(ProfileFilePosix, ReadOnlyFolderOrFileFailsNamingTheFile) {
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

TEST_F(ProfileFilePosix, UnreadableFileReadsAsMissing) {
  WriteFile(path_, "[Connector]\nLastIp=1\n");
  chmod(path_.c_str(), 0);
  EXPECT_EQ(AsUnprivileged([this] { return Read("LastIp", "127.0.0.1"); }), "127.0.0.1");
}

// A write that fails half-way (here: the file size limit, as a full disk
// would) leaves the old file and no temporary one.
TEST_F(ProfileFilePosix, FailedWriteLeavesTheOldFile) {
  const std::string original = "[Connector]\nLastIp=1\n;" + std::string(8000, 'c') + "\n";
  WriteFile(path_, original);
  const std::string message = InChild(
      [this] {
        signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        return Write("LastIp", "2").message();
      },
      false);
  EXPECT_EQ(message, path_ + ": File too large");
  EXPECT_EQ(ReadFile(path_), original);
  EXPECT_EQ(Names(folder_), "game.ini ");
}

TEST_F(ProfileFilePosix, LeftoverOfAKilledSaveIsGoneAfterTheNextSave) {
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

// Two connectors saving at once: neither undoes the other's key.
TEST_F(ProfileFilePosix, ConcurrentWritersKeepEachOthersKeys) {
  WriteFile(path_, "; comment\n[Connector]\nLastIp=1\n[Other]\nKeep=yes\n");
  constexpr int kSaves = 100;
  const auto saver = [this](const char* key) {
    pid_t child = fork();
    if (child == 0) {
      bool ok = true;
      for (int i = 1; i <= kSaves; ++i) ok = ok && Write(key, std::to_string(i)).ok();
      _exit(ok ? 0 : 1);
    }
    return child;
  };
  const pid_t one = saver("One");
  const pid_t two = saver("Two");
  for (pid_t child : {one, two}) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(Read("One"), std::to_string(kSaves));
  EXPECT_EQ(Read("Two"), std::to_string(kSaves));
  EXPECT_EQ(Read("LastIp"), "1");
  EXPECT_EQ(profile_.GetString("Other", "Keep", "", kBufferSize, path_), "yes");
  EXPECT_EQ(Names(folder_), "game.ini ");
}

}  // namespace
}  // namespace platform
