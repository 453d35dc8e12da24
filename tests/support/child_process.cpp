#include "child_process.h"

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {
namespace {

bool BecomeNobody() {
  if (geteuid() != 0) return true;
  const struct passwd* nobody = getpwnam("nobody");
  return nobody != nullptr && setgroups(0, nullptr) == 0 &&
         setresgid(nobody->pw_gid, nobody->pw_gid, nobody->pw_gid) == 0 &&
         setresuid(nobody->pw_uid, nobody->pw_uid, nobody->pw_uid) == 0;
}

}  // namespace

std::string InChild(const std::function<std::string()>& body, Privileges privileges) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "pipe failed";
  const pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    const bool dropped = privileges == Privileges::kSame || BecomeNobody();
    const std::string result = dropped ? body() : "could not drop privileges";
    const bool written = write(pipeFds[1], result.data(), result.size()) == ssize_t(result.size());
    _exit(written ? 0 : 1);
  }
  close(pipeFds[1]);
  std::string result;
  char buffer[4096];
  for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
    result.append(buffer, static_cast<std::size_t>(got));
  }
  close(pipeFds[0]);
  if (!ExitedCleanly(child)) result += " (the child failed)";
  return result;
}

pid_t StartChild(const std::function<bool()>& body) {
  const pid_t child = fork();
  if (child == 0) _exit(body() ? 0 : 1);
  return child;
}

bool ExitedCleanly(pid_t child) {
  int status = 0;
  if (waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace testing_support
