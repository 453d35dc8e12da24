// The system's profile service against the shared table of game.ini files.
// Portable: the Windows build runs it on kernel32 (under Wine here), the
// Linux build on our own reader and writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/profile_file.h"
#include "profile_compat_cases.h"
#include "support/files.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using profile_compat::kNoFile;
using testing_support::ReadFile;
using testing_support::Utf8;

constexpr int kBufferSize = 255;  // the settings' read buffer

// game.ini in a new, empty folder holding `content`, or no file for kNoFile.
std::string GameIni(const testing_support::TempFolder& folder, std::string_view content) {
  if (content == kNoFile) return Utf8(folder / "game.ini");
  return Utf8(folder.Write("game.ini", content));
}

// The file's lines with their CR LF, CR or LF ends removed.
std::vector<std::string> Lines(const std::string& content) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < content.size(); ++i) {
    if (content[i] == '\r' || content[i] == '\n') {
      lines.push_back(line);
      line.clear();
      if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
    } else {
      line += content[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string Get(std::string_view section, std::string_view key, const std::string& file) {
  return platform::SystemProfileFile().GetString(section, key, "DEF", kBufferSize, file);
}

// "key=value" as read back from `section`.
void ExpectReadBack(std::string_view section, std::string_view keyAndValue,
                    const std::string& file) {
  std::size_t equals = keyAndValue.find('=');
  EXPECT_EQ(Get(section, keyAndValue.substr(0, equals), file), keyAndValue.substr(equals + 1))
      << section << ": " << keyAndValue;
}

void ExpectReads(std::span<const profile_compat::ReadCase> cases) {
  for (const profile_compat::ReadCase& c : cases) {
    testing_support::TempFolder folder;
    std::string file = GameIni(folder, c.file);
    EXPECT_EQ(
        platform::SystemProfileFile().GetString(c.section, c.key, c.lpDefault, kBufferSize, file),
        c.expected)
        << c.name;
  }
}

void ExpectWrites(std::span<const profile_compat::WriteCase> cases) {
  for (const profile_compat::WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::TempFolder folder;
    std::string file = GameIni(folder, c.file);
    ASSERT_TRUE(platform::SystemProfileFile().WriteString("Connector", c.key, c.value, file).ok());

    std::vector<std::string> lines = Lines(ReadFile(fs::u8path(file)));
    if (!c.line.empty()) {
      EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(c.line)), 1)
          << "no line \"" << c.line << "\" in:\n"
          << ReadFile(fs::u8path(file));
    }
    for (std::string_view keyAndValue : c.readBack) {
      if (!keyAndValue.empty()) ExpectReadBack("Connector", keyAndValue, file);
    }
    if (!c.otherReadBack.empty()) ExpectReadBack("Other", c.otherReadBack, file);
  }
}

TEST(ProfileCompatibility, Reads) { ExpectReads(profile_compat::kReads); }

TEST(ProfileCompatibility, Writes) { ExpectWrites(profile_compat::kWrites); }

// The same bytes give the same text on both builds, and the same text the
// same bytes.
TEST(ProfileCompatibility, ValuesCrossTheCodePageAlike) {
  if (platform::SystemCodePage().number() != 1252) GTEST_SKIP() << "needs code page 1252";
  ExpectReads(profile_compat::kCodePageReads);
  ExpectWrites(profile_compat::kCodePageWrites);
}

TEST(ProfileCompatibility, ALongValueIsWrittenWholeAndReadCutTo254Bytes) {
  std::string value;
  for (int i = 0; i < 300; ++i) value += static_cast<char>('0' + i % 10);
  testing_support::TempFolder folder;
  std::string file = GameIni(folder, kNoFile);
  ASSERT_TRUE(platform::SystemProfileFile().WriteString("Connector", "LastPort", value, file).ok());

  std::vector<std::string> lines = Lines(ReadFile(fs::u8path(file)));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "LastPort=" + value), 1);
  EXPECT_EQ(Get("Connector", "LastPort", file), value.substr(0, 254));
}

}  // namespace
