#include "temp_folder.h"

#include "files.h"

namespace testing_support {

std::filesystem::path TempFolder::Write(const std::filesystem::path& name,
                                        std::string_view content) const {
  const std::filesystem::path path = path_ / name;
  std::filesystem::create_directories(path.parent_path());
  WriteFile(path, content);
  return path;
}

std::filesystem::path TempFolder::WriteExecutable(const std::filesystem::path& name,
                                                  std::string_view content) const {
  const std::filesystem::path path = Write(name, content);
  using std::filesystem::perms;
  std::filesystem::permissions(path, perms::owner_exec | perms::group_exec | perms::others_exec,
                               std::filesystem::perm_options::add);
  return path;
}

}  // namespace testing_support
