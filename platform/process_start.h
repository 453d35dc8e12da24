// Starting an independent program from a command line.
#pragma once

#include <string>

#include "platform/status.h"

namespace platform {

class ProcessStart {
 public:
  virtual ~ProcessStart() = default;

  // Starts `program` (a path; a relative one is taken from the working
  // directory, never searched for) with `commandLine`, which begins with the
  // program text followed by the arguments separated by blanks. The new
  // process inherits the working directory and environment, shows its window
  // normally and outlives the caller. Off Windows, a Windows program is
  // started through Wine. Fails, with the system's reason, when the program
  // cannot be started; this is known before Start returns.
  virtual Status Start(const std::string& program, const std::string& commandLine) = 0;
};

ProcessStart& SystemProcessStart();

}  // namespace platform
