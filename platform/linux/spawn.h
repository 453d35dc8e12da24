// Starting a program with posix_spawn: never searched for in PATH, and with
// nothing of the caller's beyond its three standard descriptors.
#pragma once

#include <spawn.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace platform::linux_os {

class Spawn {
 public:
  Spawn();
  ~Spawn();
  Spawn(const Spawn&) = delete;
  Spawn& operator=(const Spawn&) = delete;

  // The child leads a session of its own, with no signal blocked, so that it
  // outlives the caller and its terminal.
  void InOwnSession();
  // The child's standard output is `fd`; its input and errors go nowhere.
  void WithOutputTo(int fd);

  // Starts `program` with `args` (argv[0] first) and `environment`. Returns
  // 0 or the errno of the failure, which glibc knows before it returns: an
  // exec failure included.
  int Start(const std::string& program, std::vector<std::string> args, char* const* environment,
            pid_t* pid = nullptr);

 private:
  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t fileActions_;
};

}  // namespace platform::linux_os
