#include "settings/settings_file.h"

#include <utility>

namespace settings {
namespace {

// The read buffer holds 255 bytes, the last one for the terminating NUL.
constexpr int kReadBufferSize = 255;

}  // namespace

SettingsFile::SettingsFile(platform::ProfileFile& profile, std::string programFolder)
    : profile_(profile), programFolder_(std::move(programFolder)) {}

std::string SettingsFile::ReadKey(std::string_view lpAppName, std::string_view lpKeyName,
                                  std::string_view lpDefault, std::string_view lpFile) const {
  return profile_.GetString(lpAppName, lpKeyName, lpDefault, kReadBufferSize,
                            programFolder_ + std::string(lpFile));
}

std::string SettingsFile::ReadBin(std::string_view lpAppName, std::string_view lpKeyName,
                                  std::string_view lpFile) const {
  return ReadKey(lpAppName, lpKeyName, "kestrune.bin", lpFile);
}

std::string SettingsFile::ReadIP(std::string_view lpAppName, std::string_view lpKeyName,
                                 std::string_view lpFile) const {
  return ReadKey(lpAppName, lpKeyName, "127.0.0.1", lpFile);
}

std::string SettingsFile::ReadName(std::string_view lpAppName, std::string_view lpKeyName,
                                   std::string_view lpFile) const {
  return ReadKey(lpAppName, lpKeyName, "NAME", lpFile);
}

std::string SettingsFile::ReadPort(std::string_view lpAppName, std::string_view lpKeyName,
                                   std::string_view lpFile) const {
  return ReadKey(lpAppName, lpKeyName, "2597", lpFile);
}

std::string SettingsFile::ReadTileset(std::string_view lpAppName, std::string_view lpKeyName,
                                      std::string_view lpFile) const {
  return ReadKey(lpAppName, lpKeyName, "0", lpFile);
}

platform::Status SettingsFile::WriteString(std::string_view lpAppName, std::string_view lpKeyName,
                                           std::string_view A, std::string_view lpFileName) const {
  return profile_.WriteString(lpAppName, lpKeyName, A, programFolder_ + std::string(lpFileName));
}

ConnectorFields SettingsFile::LoadFields() const {
  ConnectorFields fields;
  fields.clientBinary = ReadBin(kSection, "BinName", kFileName);
  fields.serverAddress = ReadIP(kSection, "LastIp", kFileName);
  fields.serverName = ReadName(kSection, "LastServerName", kFileName);
  fields.port = ReadPort(kSection, "LastPort", kFileName);
  fields.tileSet = ReadTileset(kSection, "LastTileSet", kFileName);
  return fields;
}

platform::Status SettingsFile::SaveFields(const ConnectorFields& fields) const {
  const std::pair<std::string_view, const std::string&> keys[] = {
      {"BinName", fields.clientBinary},      {"LastIp", fields.serverAddress},
      {"LastServerName", fields.serverName}, {"LastPort", fields.port},
      {"LastTileSet", fields.tileSet},
  };
  platform::Status first = platform::Status::Ok();
  for (const auto& [key, value] : keys) {
    platform::Status status = WriteString(kSection, key, value, kFileName);
    if (first.ok() && !status.ok()) first = std::move(status);
  }
  return first;
}

}  // namespace settings
