// The client started with posix_spawn. A Windows program (a PE file, as the
// game's own client is) is started through Wine, which is found on PATH like
// any system program; the client itself never is.
#include "platform/process_start.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/command_line.h"

namespace platform {
namespace {

// A spawn attribute set that starts the client in a session of its own, with
// no signal blocked, so it outlives the connector and its terminal.
class SpawnAttributes {
 public:
  SpawnAttributes() {
    posix_spawnattr_init(&attr_);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr_, &none);
    posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
  }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attr_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  const posix_spawnattr_t* get() const { return &attr_; }

 private:
  posix_spawnattr_t attr_;
};

// Closes every descriptor above stderr in the child: the X connection and
// any file the connector holds are none of the client's business.
class SpawnFileActions {
 public:
  SpawnFileActions() {
    posix_spawn_file_actions_init(&actions_);
    posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1);
  }
  ~SpawnFileActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  const posix_spawn_file_actions_t* get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

// Whether `path` is a Windows program: "MZ", and at the offset its DOS
// header gives, the PE signature.
bool IsWindowsProgram(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  constexpr off_t kPeOffsetAt = 0x3C;
  std::array<unsigned char, kPeOffsetAt + 4> header{};
  std::array<char, 4> signature{};
  bool windows = pread(fd, header.data(), header.size(), 0) == ssize_t(header.size()) &&
                 header[0] == 'M' && header[1] == 'Z';
  if (windows) {
    const std::uint32_t peOffset = header[kPeOffsetAt] | header[kPeOffsetAt + 1] << 8 |
                                   header[kPeOffsetAt + 2] << 16 |
                                   std::uint32_t{header[kPeOffsetAt + 3]} << 24;
    windows = pread(fd, signature.data(), signature.size(), off_t{peOffset}) ==
                  ssize_t(signature.size()) &&
              std::string_view(signature.data(), signature.size()) == std::string_view("PE\0\0", 4);
  }
  close(fd);
  return windows;
}

// `name` in the first folder of PATH that holds it as an executable file.
// Only absolute folders count: a relative one would look in the game's.
std::optional<std::string> FindOnPath(std::string_view name) {
  const char* path = getenv("PATH");
  std::string_view folders = path != nullptr ? path : "";
  while (!folders.empty()) {
    const std::size_t colon = folders.find(':');
    const std::string_view folder = folders.substr(0, colon);
    folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
    if (!folder.starts_with('/')) continue;
    std::string candidate = std::string(folder) + "/" + std::string(name);
    struct stat info {};
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  return std::nullopt;
}

// exec says ENOENT both for a missing file and for a script whose
// interpreter is missing; the file was found, so say which.
std::string Reason(const std::string& program, int error) {
  std::string reason = strerror(error);
  if (error == ENOENT && access(program.c_str(), F_OK) == 0) {
    reason += " (the interpreter it names is missing)";
  }
  return reason;
}

// posix_spawn, not posix_spawnp: `file` is taken as it is, never searched
// for. glibc reports an exec failure as the return value, so it is known here.
int Spawn(const std::string& file, std::vector<std::string> args) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  SpawnAttributes attributes;
  SpawnFileActions fileActions;
  pid_t pid = 0;
  return posix_spawn(&pid, file.c_str(), fileActions.get(), attributes.get(), argv.data(), environ);
}

class PosixProcessStart final : public ProcessStart {
 public:
  Status Start(const std::string& program, const std::string& commandLine) override {
    std::vector<std::string> args = SplitCommandLine(program, commandLine);
    if (IsWindowsProgram(program)) return StartThroughWine(program, std::move(args));
    if (const int error = Spawn(program, std::move(args)); error != 0) {
      return Status::Failure(program + ": " + Reason(program, error));
    }
    return Status::Ok();
  }

 private:
  // wine <client> <arguments>, the client named by its full path so that
  // Wine starts the very file that was checked, whatever its own search.
  static Status StartThroughWine(const std::string& program, std::vector<std::string> args) {
    const std::optional<std::string> wine = FindOnPath("wine");
    if (!wine) {
      return Status::Failure(program +
                             " is a Windows program, and Wine is needed to start it: no \"wine\" "
                             "was found on PATH.");
    }
    std::error_code error;
    const std::filesystem::path client = std::filesystem::absolute(program, error);
    if (!error) args.front() = client.string();
    args.insert(args.begin(), "wine");
    if (const int spawnError = Spawn(*wine, std::move(args)); spawnError != 0) {
      return Status::Failure(*wine + ": " + Reason(*wine, spawnError));
    }
    return Status::Ok();
  }
};

}  // namespace

ProcessStart& SystemProcessStart() {
  static PosixProcessStart start;
  return start;
}

}  // namespace platform
