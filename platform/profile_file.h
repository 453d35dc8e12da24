// The profile-file service: keys of an INI-style file, read or written
// inside a single call. Texts are UTF-8; in a file without a byte-order mark
// values are stored by the code-page rules of platform/code_page.h. Names
// match without regard to letter case.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace platform {

struct KeyRequest {
  std::string_view lpKeyName;
  std::string_view lpDefault;
};

class ProfileFile {
 public:
  virtual ~ProfileFile() = default;

  // Like GetPrivateProfileStringA with a buffer of `bufferSize` bytes: the
  // key's value (empty when the key is present but empty), or `lpDefault`
  // when the file, the section or the key is missing; cut to bufferSize - 1
  // bytes of the file. Never fails: an unreadable file reads as missing.
  virtual std::string GetString(std::string_view lpAppName, std::string_view lpKeyName,
                                std::string_view lpDefault, int bufferSize,
                                const std::string& lpFileName) = 0;

  // GetString for each of `keys`, in order; where the service allows, the
  // file is read once for all of them.
  virtual std::vector<std::string> GetStrings(std::string_view lpAppName,
                                              std::span<const KeyRequest> keys, int bufferSize,
                                              const std::string& lpFileName) = 0;

  // Like WritePrivateProfileStringA: creates the file and section when
  // missing, replaces or adds the key, leaves every other line as it was.
  virtual Status WriteString(std::string_view lpAppName, std::string_view lpKeyName,
                             std::string_view lpString, const std::string& lpFileName) = 0;
};

// The operating system's profile service (our own on Linux).
ProfileFile& SystemProfileFile();

}  // namespace platform
