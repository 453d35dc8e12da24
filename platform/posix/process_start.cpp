#include "platform/process_start.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <unistd.h>

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

class PosixProcessStart final : public ProcessStart {
 public:
  Status Start(const std::string& program, const std::string& commandLine) override {
    std::vector<std::string> args = SplitCommandLine(program, commandLine);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    // posix_spawn, not posix_spawnp: a name without a slash is taken from
    // the working directory, never searched for in PATH. glibc reports an
    // exec failure as the return value, so nothing is lost in the child.
    SpawnAttributes attributes;
    SpawnFileActions fileActions;
    pid_t pid = 0;
    int error = posix_spawn(&pid, program.c_str(), fileActions.get(), attributes.get(), argv.data(),
                            environ);
    if (error != 0) return Status::Failure(program + ": " + Reason(program, error));
    return Status::Ok();
  }

 private:
  // exec says ENOENT both for a missing file and for a script whose
  // interpreter is missing; the file was found, so say which.
  static std::string Reason(const std::string& program, int error) {
    std::string reason = strerror(error);
    if (error == ENOENT && access(program.c_str(), F_OK) == 0) {
      reason += " (the interpreter it names is missing)";
    }
    return reason;
  }
};

}  // namespace

ProcessStart& SystemProcessStart() {
  static PosixProcessStart start;
  return start;
}

}  // namespace platform
