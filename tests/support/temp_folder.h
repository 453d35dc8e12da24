// A fresh folder for one test, on std::filesystem alone, so that the Linux
// and the Windows tests share it.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <string_view>

namespace testing_support {

// Created empty, removed with everything in it afterwards. Its name is
// random, so that test processes running at once never meet.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    while (!std::filesystem::create_directory(
        path_ = base / ("connector-test-" + std::to_string(random())))) {
    }
  }
  ~TempFolder() {
    // A test may have taken its own permissions away.
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

  // Writes `content` to `name` in the folder, making its folders, and
  // returns its path.
  std::filesystem::path Write(const std::filesystem::path& name, std::string_view content) const;
  // The same, executable by everyone.
  std::filesystem::path WriteExecutable(const std::filesystem::path& name,
                                        std::string_view content) const;

 private:
  std::filesystem::path path_;
};

// Runs the test body with the working directory set to `folder`.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::filesystem::path& folder)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~WorkingDirectory() { std::filesystem::current_path(previous_); }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace testing_support
