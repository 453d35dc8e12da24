#include "platform/linux/spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace platform::linux_os {

Spawn::Spawn() {
  posix_spawnattr_init(&attributes_);
  posix_spawn_file_actions_init(&fileActions_);
}

Spawn::~Spawn() {
  posix_spawn_file_actions_destroy(&fileActions_);
  posix_spawnattr_destroy(&attributes_);
}

void Spawn::InOwnSession() {
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes_, &none);
  posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
}

void Spawn::WithOutputTo(int fd) {
  posix_spawn_file_actions_addopen(&fileActions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&fileActions_, fd, STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&fileActions_, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
}

int Spawn::Start(const std::string& program, std::vector<std::string> args,
                 char* const* environment, pid_t* pid) {
  // The X connection and any file the caller holds are none of the child's
  // business (a glibc extension; Linux).
  posix_spawn_file_actions_addclosefrom_np(&fileActions_, STDERR_FILENO + 1);
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t started = 0;
  return posix_spawn(pid != nullptr ? pid : &started, program.c_str(), &fileActions_, &attributes_,
                     argv.data(), environment);
}

}  // namespace platform::linux_os
