// Exists through FindFirstFileW: an entry counts only with the ordinary
// attribute set, so directories, hidden and system files do not.
#include "platform/file_search.h"

#include <windows.h>

#include "platform/win32/text.h"

namespace platform {
namespace {

constexpr DWORD kNotOrdinary =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

class Win32FileSearch final : public FileSearch {
 public:
  bool FindsOrdinaryFile(const std::string& Filename) override {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(win32::Widen(Filename).c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    do {
      found = (entry.dwFileAttributes & kNotOrdinary) == 0;
    } while (!found && FindNextFileW(search, &entry));  // a wildcard may match several
    FindClose(search);
    return found;
  }
};

}  // namespace

FileSearch& SystemFileSearch() {
  static Win32FileSearch search;
  return search;
}

}  // namespace platform
