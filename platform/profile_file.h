// The profile-file service: one key of an INI-style file, read or written
// inside a single call. Texts are UTF-8 (converted to the ANSI code page on
// Windows); names match without regard to letter case.
#pragma once

#include <string>
#include <string_view>

#include "platform/status.h"

namespace platform {

class ProfileFile {
 public:
  virtual ~ProfileFile() = default;

  // Like GetPrivateProfileStringA with a buffer of `bufferSize` bytes: the
  // key's value (empty when the key is present but empty), or `lpDefault`
  // when the file, the section or the key is missing; cut to bufferSize - 1
  // bytes. Never fails: an unreadable file reads as missing.
  virtual std::string GetString(std::string_view lpAppName, std::string_view lpKeyName,
                                std::string_view lpDefault, int bufferSize,
                                const std::string& lpFileName) = 0;

  // Like WritePrivateProfileStringA: creates the file and section when
  // missing, replaces or adds the key, leaves every other line as it was.
  virtual Status WriteString(std::string_view lpAppName, std::string_view lpKeyName,
                             std::string_view lpString, const std::string& lpFileName) = 0;
};

// The operating system's profile service (our own on POSIX).
ProfileFile& SystemProfileFile();

}  // namespace platform
