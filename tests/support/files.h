// Reading and writing whole files in tests, bytes as they are.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace testing_support {

// The file's bytes; "" when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

void WriteFile(const std::filesystem::path& path, std::string_view content);

// The names in `folder`, sorted, each followed by a blank.
std::string Names(const std::filesystem::path& folder);

// The path as UTF-8, the text the platform services take.
std::string Utf8(const std::filesystem::path& path);

// A recording client's record, once it is there: the client runs on its own,
// so it is waited for within a generous bound. A client renames its record
// into place whole, but may still hold it open for a moment, so an empty read
// means "not yet".
std::string AwaitRecord(const std::filesystem::path& record);

}  // namespace testing_support
