#include "platform/file_search.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace {

using testing_support::TempFolder;
using testing_support::WorkingDirectory;

TEST(SystemFileSearch, OnlyOrdinaryFilesCount) {
  TempFolder folder;
  folder.Write("client.bin", "x");
  std::filesystem::create_directory(folder / "folder.bin");
  std::filesystem::create_symlink("client.bin", folder / "link.bin");
  std::filesystem::create_symlink("gone.bin", folder / "dangling.bin");
  std::filesystem::create_symlink("folder.bin", folder / "dirlink.bin");

  WorkingDirectory cwd(folder.path());
  struct Case {
    std::string name;
    bool found;
  };
  const Case cases[] = {
      {"client.bin", true},   {"./client.bin", true}, {(folder / "client.bin").string(), true},
      {"link.bin", true},     {"folder.bin", false},  {"dangling.bin", false},
      {"dirlink.bin", false}, {"absent.bin", false},  {"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::SystemFileSearch().FindsOrdinaryFile(c.name), c.found) << c.name;
  }
}

TEST(SystemFileSearch, ARelativeNameIsLookedUpInTheWorkingDirectoryOnly) {
  TempFolder elsewhere;
  WorkingDirectory cwd(elsewhere.path());
  EXPECT_FALSE(platform::SystemFileSearch().FindsOrdinaryFile("sh")) << "no PATH search";
}

}  // namespace
