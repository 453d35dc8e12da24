#include "actions/launch_client.h"

#include <algorithm>

namespace actions {
namespace {

std::string RemoveBlanks(std::string text) {
  std::erase_if(text, [](char c) { return c == ' ' || c == '\t'; });
  return text;
}

// The number of bytes of the UTF-8 sequence that starts at `lead`, or 0 when
// `lead` cannot start one.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

settings::ConnectorFields WithoutBlanks(settings::ConnectorFields fields) {
  fields.serverName = RemoveBlanks(std::move(fields.serverName));
  fields.serverAddress = RemoveBlanks(std::move(fields.serverAddress));
  fields.port = RemoveBlanks(std::move(fields.port));
  fields.tileSet = RemoveBlanks(std::move(fields.tileSet));
  return fields;
}

std::size_t Utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    std::size_t length = SequenceLength(static_cast<unsigned char>(utf8[i]));
    bool complete = length != 0 && i + length <= utf8.size() &&
                    std::all_of(utf8.begin() + i + 1, utf8.begin() + i + length, [](char c) {
                      return IsContinuation(static_cast<unsigned char>(c));
                    });
    if (!complete) length = 1;     // shown as one replacement character
    units += length == 4 ? 2 : 1;  // beyond the BMP: a surrogate pair
    i += length;
  }
  return units;
}

std::string BuildCommandLine(const settings::ConnectorFields& fields) {
  return fields.clientBinary + " " + fields.serverName + " " + fields.serverAddress + " " +
         fields.port + " " + fields.tileSet;
}

ClientLauncher::ClientLauncher(platform::FileSearch& files, platform::ProcessStart& processes)
    : files_(files), processes_(processes) {}

bool ClientLauncher::Exists(const std::string& Filename) const {
  return !Filename.empty() && files_.FindsOrdinaryFile(Filename);
}

LaunchResult ClientLauncher::LaunchClient(const settings::ConnectorFields& fields) const {
  if (!Exists(fields.clientBinary)) {
    return {LaunchOutcome::kNotFound, fields.clientBinary + " not found!"};
  }
  std::size_t nameLength = Utf16Length(fields.serverName);
  if (nameLength == 0 || nameLength > kMaxServerNameLength) return {LaunchOutcome::kRefused, {}};
  if (fields.serverAddress.empty()) return {LaunchOutcome::kRefused, {}};

  platform::Status started = processes_.Start(fields.clientBinary, BuildCommandLine(fields));
  if (!started.ok()) return {LaunchOutcome::kFailed, started.message()};
  return {LaunchOutcome::kLaunched, {}};
}

}  // namespace actions
