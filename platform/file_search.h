// File search by name.
#pragma once

#include <string>

namespace platform {

class FileSearch {
 public:
  virtual ~FileSearch() = default;

  // True when `Filename` names an ordinary file: never a directory (nor, on
  // Windows, a hidden or system file). A relative name is looked up in the
  // current working directory.
  virtual bool FindsOrdinaryFile(const std::string& Filename) = 0;
};

FileSearch& SystemFileSearch();

}  // namespace platform
