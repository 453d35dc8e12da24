// In-memory stand-ins for the platform services, so the core runs headless.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/file_search.h"
#include "platform/network_awareness.h"
#include "platform/process_start.h"
#include "platform/profile_file.h"
#include "platform/window.h"

namespace fakes {

// Keys by (file, section, key); records every call in order.
class ProfileFile final : public platform::ProfileFile {
 public:
  using Key = std::tuple<std::string, std::string, std::string>;

  std::string GetString(std::string_view lpAppName, std::string_view lpKeyName,
                        std::string_view lpDefault, int bufferSize,
                        const std::string& lpFileName) override {
    calls.push_back("read " + std::string(lpKeyName) + " from " + lpFileName);
    return Find(lpAppName, lpKeyName, lpDefault, bufferSize, lpFileName);
  }

  std::vector<std::string> GetStrings(std::string_view lpAppName,
                                      std::span<const platform::KeyRequest> keys, int bufferSize,
                                      const std::string& lpFileName) override {
    std::string names;
    std::vector<std::string> found;
    for (const platform::KeyRequest& key : keys) {
      names += (names.empty() ? "" : ", ") + std::string(key.lpKeyName);
      found.push_back(Find(lpAppName, key.lpKeyName, key.lpDefault, bufferSize, lpFileName));
    }
    calls.push_back("read " + names + " from " + lpFileName);
    return found;
  }

  platform::Status WriteString(std::string_view lpAppName, std::string_view lpKeyName,
                               std::string_view lpString, const std::string& lpFileName) override {
    calls.push_back("write " + std::string(lpKeyName) + " to " + lpFileName);
    if (failingKeys.contains(std::string(lpKeyName))) {
      return platform::Status::Failure(lpFileName + ": Read-only file system");
    }
    values[{lpFileName, std::string(lpAppName), std::string(lpKeyName)}] = lpString;
    return platform::Status::Ok();
  }

  std::map<Key, std::string> values;
  std::set<std::string> failingKeys;
  std::vector<std::string> calls;

 private:
  std::string Find(std::string_view lpAppName, std::string_view lpKeyName,
                   std::string_view lpDefault, int bufferSize,
                   const std::string& lpFileName) const {
    auto found = values.find({lpFileName, std::string(lpAppName), std::string(lpKeyName)});
    std::string value(found == values.end() ? lpDefault : std::string_view(found->second));
    return value.substr(0, static_cast<std::size_t>(bufferSize - 1));
  }
};

class FileSearch final : public platform::FileSearch {
 public:
  bool FindsOrdinaryFile(const std::string& Filename) override {
    searched.push_back(Filename);
    return files.contains(Filename);
  }
  std::set<std::string> files;
  std::vector<std::string> searched;
};

class ProcessStart final : public platform::ProcessStart {
 public:
  platform::Status Start(const std::string& program, const std::string& commandLine) override {
    started.emplace_back(program, commandLine);
    return failure.empty() ? platform::Status::Ok() : platform::Status::Failure(failure);
  }
  std::vector<std::pair<std::string, std::string>> started;
  std::string failure;  // when set, every start fails with it
};

// Gives the same answer to every question and records the questions.
class NetworkAwareness final : public platform::NetworkAwareness {
 public:
  platform::Status IsDestinationReachable(const std::string& lpszDestination,
                                          platform::QOCINFO& lpQOCInfo, bool& reachable) override {
    asked.emplace_back(lpszDestination, lpQOCInfo);
    if (!failure.empty()) return platform::Status::Failure(failure);
    reachable = this->reachable;
    if (reachable) {
      lpQOCInfo.dwInSpeed = inSpeed;
      lpQOCInfo.dwOutSpeed = outSpeed;
    }
    return platform::Status::Ok();
  }
  bool reachable = true;
  std::uint32_t inSpeed = 0;
  std::uint32_t outSpeed = 0;
  std::string failure;  // when set, the service cannot be used
  std::vector<std::pair<std::string, platform::QOCINFO>> asked;
};

// A form that holds its texts and records what the user would see.
class FormView final : public platform::FormView {
 public:
  explicit FormView(const platform::FormLayout& layout) {
    for (const platform::ControlLayout& control : layout.controls)
      texts.emplace_back(control.caption);
  }
  std::string Text(std::size_t control) const override { return texts.at(control); }
  void SetText(std::size_t control, std::string_view text) override { texts.at(control) = text; }
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  void Close() override { closed = true; }

  std::vector<std::string> texts;
  std::vector<std::string> messages;
  bool closed = false;
};

}  // namespace fakes
