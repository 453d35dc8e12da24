#include "files.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace testing_support {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::filesystem::path& path, std::string_view content) {
  std::ofstream(path, std::ios::binary).write(content.data(), std::streamsize(content.size()));
}

std::string Names(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::string joined;
  for (const std::string& name : names) joined += name + " ";
  return joined;
}

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string AwaitRecord(const std::filesystem::path& record) {
  std::string content;
  for (int i = 0; i < 3000 && (content = ReadFile(record)).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return content;
}

}  // namespace testing_support
