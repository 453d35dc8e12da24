#include "platform/file_search.h"

#include <sys/stat.h>

namespace platform {
namespace {

class PosixFileSearch final : public FileSearch {
 public:
  bool FindsOrdinaryFile(const std::string& Filename) override {
    // stat follows symbolic links: a link to a regular file counts, a
    // dangling one does not. A relative name resolves against the cwd.
    struct stat info {};
    return stat(Filename.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  }
};

}  // namespace

FileSearch& SystemFileSearch() {
  static PosixFileSearch search;
  return search;
}

}  // namespace platform
