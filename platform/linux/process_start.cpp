// The client started with posix_spawn. A Windows program (a PE file, as the
// game's own client is) is started through Wine, which is found on PATH like
// any system program; the client itself never is.
#include "platform/process_start.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/command_line.h"
#include "platform/linux/file_descriptor.h"
#include "platform/linux/spawn.h"
#include "platform/linux/system_error.h"

namespace platform {
namespace {

// Whether `path` is a Windows program: "MZ", and at the offset its DOS
// header gives, the PE signature.
bool IsWindowsProgram(const std::string& path) {
  const linux_os::FileDescriptor file(
      open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file.valid()) return false;
  constexpr off_t kPeOffsetAt = 0x3C;
  std::array<unsigned char, kPeOffsetAt + 4> header{};
  if (pread(file.get(), header.data(), header.size(), 0) != ssize_t(header.size()) ||
      header[0] != 'M' || header[1] != 'Z') {
    return false;
  }
  const std::uint32_t peOffset = header[kPeOffsetAt] | header[kPeOffsetAt + 1] << 8 |
                                 header[kPeOffsetAt + 2] << 16 |
                                 std::uint32_t{header[kPeOffsetAt + 3]} << 24;
  std::array<char, 4> signature{};
  return pread(file.get(), signature.data(), signature.size(), off_t{peOffset}) ==
             ssize_t(signature.size()) &&
         std::string_view(signature.data(), signature.size()) == std::string_view("PE\0\0", 4);
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
  std::string reason = linux_os::ErrorText(error);
  if (error == ENOENT && access(program.c_str(), F_OK) == 0) {
    reason += " (the interpreter it names is missing)";
  }
  return reason;
}

// In a session of its own, so that the client outlives the connector.
int StartInOwnSession(const std::string& program, std::vector<std::string> args) {
  linux_os::Spawn spawn;
  spawn.InOwnSession();
  return spawn.Start(program, std::move(args), environ);
}

class PosixProcessStart final : public ProcessStart {
 public:
  Status Start(const std::string& program, const std::string& commandLine) override {
    std::vector<std::string> args = SplitCommandLine(program, commandLine);
    if (IsWindowsProgram(program)) return StartThroughWine(program, std::move(args));
    if (const int error = StartInOwnSession(program, std::move(args)); error != 0) {
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
    if (const int spawnError = StartInOwnSession(*wine, std::move(args)); spawnError != 0) {
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
