#include "platform/program_folder.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace platform {

std::string ProgramFolder() {
  // /proc/self/exe names the executable itself, whatever the working
  // directory or argv[0] say.
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "./";
  return exe.parent_path().string() + '/';
}

}  // namespace platform
