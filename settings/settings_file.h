// The remembered launch fields: section "Connector" of "game.ini" beside the
// program, read once at start and written only on Save.
#pragma once

#include <string>
#include <string_view>

#include "platform/profile_file.h"
#include "platform/status.h"
#include "settings/connector_fields.h"

namespace settings {

inline constexpr std::string_view kFileName = "game.ini";
inline constexpr std::string_view kSection = "Connector";

class SettingsFile {
 public:
  // `programFolder` ends in the path separator (platform::ProgramFolder).
  SettingsFile(platform::ProfileFile& profile, std::string programFolder);

  // One key each, with its own default when the file, section or key is
  // missing; an empty value stays empty. At most 254 bytes come back.
  std::string ReadBin(std::string_view lpAppName, std::string_view lpKeyName,
                      std::string_view lpFile) const;
  std::string ReadIP(std::string_view lpAppName, std::string_view lpKeyName,
                     std::string_view lpFile) const;
  std::string ReadName(std::string_view lpAppName, std::string_view lpKeyName,
                       std::string_view lpFile) const;
  std::string ReadPort(std::string_view lpAppName, std::string_view lpKeyName,
                       std::string_view lpFile) const;
  std::string ReadTileset(std::string_view lpAppName, std::string_view lpKeyName,
                          std::string_view lpFile) const;

  platform::Status WriteString(std::string_view lpAppName, std::string_view lpKeyName,
                               std::string_view A, std::string_view lpFileName) const;

  // BinName, LastIp, LastServerName, LastPort, LastTileSet, in that order,
  // each as its read operation reads it.
  ConnectorFields LoadFields() const;
  // All five keys in the same order, changed or not; a failed key does not
  // stop the others. Returns the first failure.
  platform::Status SaveFields(const ConnectorFields& fields) const;

 private:
  std::string Path(std::string_view lpFile) const;
  std::string ReadKey(std::string_view lpAppName, std::string_view lpKeyName,
                      std::string_view lpDefault, std::string_view lpFile) const;

  platform::ProfileFile& profile_;
  std::string programFolder_;
};

}  // namespace settings
