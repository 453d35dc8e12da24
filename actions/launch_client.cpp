#include "actions/launch_client.h"

#include <algorithm>

#include "platform/utf8.h"

namespace actions {
namespace {

std::string RemoveBlanks(std::string text) {
  std::erase_if(text, [](char c) { return c == ' ' || c == '\t'; });
  return text;
}

}  // namespace

settings::ConnectorFields WithoutBlanks(settings::ConnectorFields fields) {
  fields.serverName = RemoveBlanks(std::move(fields.serverName));
  fields.serverAddress = RemoveBlanks(std::move(fields.serverAddress));
  fields.port = RemoveBlanks(std::move(fields.port));
  fields.tileSet = RemoveBlanks(std::move(fields.tileSet));
  return fields;
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t units = 0;
  while (!text.empty()) units += platform::utf8::TakeCharacter(text) > 0xFFFF ? 2 : 1;
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
