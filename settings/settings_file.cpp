#include "settings/settings_file.h"

#include <array>
#include <utility>

namespace settings {
namespace {

// The read buffer holds 255 bytes, the last one for the terminating NUL.
constexpr int kReadBufferSize = 255;

// The five keys in the order they are loaded and saved, each with its field
// and the default its read operation uses.
struct Key {
  std::string_view name;
  std::string ConnectorFields::*field;
  std::string_view defaultText;
};

constexpr std::array<Key, 5> kKeys{{
    {"BinName", &ConnectorFields::clientBinary, "kestrune.bin"},
    {"LastIp", &ConnectorFields::serverAddress, "127.0.0.1"},
    {"LastServerName", &ConnectorFields::serverName, "NAME"},
    {"LastPort", &ConnectorFields::port, "2597"},
    {"LastTileSet", &ConnectorFields::tileSet, "0"},
}};

constexpr std::string_view DefaultOf(std::string ConnectorFields::*field) {
  for (const Key& key : kKeys) {
    if (key.field == field) return key.defaultText;
  }
  return {};
}

}  // namespace

SettingsFile::SettingsFile(platform::ProfileFile& profile, std::string programFolder)
    : profile_(profile), programFolder_(std::move(programFolder)) {}

std::string SettingsFile::Path(std::string_view lpFile) const {
  return programFolder_ + std::string(lpFile);
}

std::string SettingsFile::ReadKey(std::string_view lpAppName, std::string_view lpKeyName,
                                  std::string_view lpDefault, std::string_view lpFile) const {
  return profile_.GetString(lpAppName, lpKeyName, lpDefault, kReadBufferSize, Path(lpFile));
}

std::string SettingsFile::ReadBin(std::string_view lpAppName, std::string_view lpKeyName,
                                  std::string_view lpFile) const {
  return ReadKey(lpAppName, lpKeyName, DefaultOf(&ConnectorFields::clientBinary), lpFile);
}

std::string SettingsFile::ReadIP(std::string_view lpAppName, std::string_view lpKeyName,
                                 std::string_view lpFile) const {
  return ReadKey(lpAppName, lpKeyName, DefaultOf(&ConnectorFields::serverAddress), lpFile);
}

std::string SettingsFile::ReadName(std::string_view lpAppName, std::string_view lpKeyName,
                                   std::string_view lpFile) const {
  return ReadKey(lpAppName, lpKeyName, DefaultOf(&ConnectorFields::serverName), lpFile);
}

std::string SettingsFile::ReadPort(std::string_view lpAppName, std::string_view lpKeyName,
                                   std::string_view lpFile) const {
  return ReadKey(lpAppName, lpKeyName, DefaultOf(&ConnectorFields::port), lpFile);
}

std::string SettingsFile::ReadTileset(std::string_view lpAppName, std::string_view lpKeyName,
                                      std::string_view lpFile) const {
  return ReadKey(lpAppName, lpKeyName, DefaultOf(&ConnectorFields::tileSet), lpFile);
}

platform::Status SettingsFile::WriteString(std::string_view lpAppName, std::string_view lpKeyName,
                                           std::string_view A, std::string_view lpFileName) const {
  return profile_.WriteString(lpAppName, lpKeyName, A, Path(lpFileName));
}

// The five reads of one file in a single request, so that a service able to
// read them in one pass does.
ConnectorFields SettingsFile::LoadFields() const {
  std::array<platform::KeyRequest, kKeys.size()> requests;
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    requests[i] = {kKeys[i].name, kKeys[i].defaultText};
  }
  std::vector<std::string> values =
      profile_.GetStrings(kSection, requests, kReadBufferSize, Path(kFileName));
  ConnectorFields fields;
  for (std::size_t i = 0; i < kKeys.size(); ++i) fields.*kKeys[i].field = std::move(values.at(i));
  return fields;
}

platform::Status SettingsFile::SaveFields(const ConnectorFields& fields) const {
  platform::Status first = platform::Status::Ok();
  for (const Key& key : kKeys) {
    platform::Status status = WriteString(kSection, key.name, fields.*key.field, kFileName);
    if (first.ok() && !status.ok()) first = std::move(status);
  }
  return first;
}

}  // namespace settings
