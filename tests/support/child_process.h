// A test's work in a child process: its peak memory its own, its crash or
// kill not the test's, and, as root, its permissions those of "nobody".
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace testing_support {

enum class Privileges {
  kSame,
  kNobody,  // as root: become "nobody", for whom permission bits count
};

// Runs `body` in a child and returns what it returned; "could not drop
// privileges" when it could not become nobody.
std::string InChild(const std::function<std::string()>& body,
                    Privileges privileges = Privileges::kSame);

// Starts `body` in a child, which exits 0 when it returns true.
pid_t StartChild(const std::function<bool()>& body);

// Whether the child exited of itself with status 0.
bool ExitedCleanly(pid_t child);

}  // namespace testing_support
