// Connect: check the client file, the server name and address, then start
// the client with the five fields as its command line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/file_search.h"
#include "platform/process_start.h"
#include "settings/connector_fields.h"

namespace actions {

enum class LaunchOutcome {
  kNotFound,  // the client file is missing: show `message`, the window stays
  kRefused,   // name or address invalid: nothing to show, the window stays
  kLaunched,  // the client runs: the window closes
  kFailed,    // the client file exists but could not be started: show `message`
};

struct LaunchResult {
  LaunchOutcome outcome;
  std::string message;
};

// The longest server name the client accepts, in UTF-16 code units.
inline constexpr std::size_t kMaxServerNameLength = 14;

// Drops every blank and tab from the four word fields (name, address, port,
// tileset), which the command line separates by blanks. The client binary is
// one path and keeps its blanks.
settings::ConnectorFields WithoutBlanks(settings::ConnectorFields fields);

// The length of a UTF-8 text in UTF-16 code units; a byte that is no UTF-8
// stands for U+FFFD, one unit (platform/utf8.h).
std::size_t Utf16Length(std::string_view text);

// The five fields joined by single blanks, in command-line order.
std::string BuildCommandLine(const settings::ConnectorFields& fields);

class ClientLauncher {
 public:
  ClientLauncher(platform::FileSearch& files, platform::ProcessStart& processes);

  // True when `Filename` names an ordinary file; an empty name never does.
  bool Exists(const std::string& Filename) const;

  // Checks in order: the client file, the name (1 to 14 characters), the
  // address (not empty); then starts the client. `fields` should already be
  // WithoutBlanks, as the window shows them.
  LaunchResult LaunchClient(const settings::ConnectorFields& fields) const;

 private:
  platform::FileSearch& files_;
  platform::ProcessStart& processes_;
};

}  // namespace actions
