// game.ini on Linux, through our own reader and writer of the line format
// (platform/profile_text.h), with values in the code page Wine would use:
//  - reading takes regular files only and never blocks: a FIFO, a device, a
//    directory, a dangling link or an unreadable file reads as missing; all
//    the keys of one call come from one pass over the file;
//  - a write builds the whole new file beside its target (through symbolic
//    links, so a link stays a link), flushes it and renames it over the old
//    one, so a crash leaves the old or the new file and never a mix;
//  - writers, also in other processes, take turns on a lock of the folder,
//    which survives the rename, and each reads the file afresh under it.
#include "platform/profile_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/code_page.h"
#include "platform/linux/file_descriptor.h"
#include "platform/linux/system_error.h"
#include "platform/profile_text.h"

namespace platform {
namespace {

using linux_os::FileDescriptor;

constexpr std::size_t kChunkSize = std::size_t{64} << 10;
// As many links as the kernel itself follows in one path.
constexpr int kMaxLinkHops = 40;
// Not an errno: a FIFO, a device or a socket where a file was expected.
constexpr int kNotRegularFile = -1;

std::string ReasonFor(int error) {
  if (error == kNotRegularFile) return "Not a regular file";
  return linux_os::ErrorText(error);
}

Status Failure(const std::string& path, const std::string& reason) {
  return Status::Failure(path + ": " + reason);
}

int RegularFileError(const struct stat& info) {
  if (S_ISREG(info.st_mode)) return 0;
  return S_ISDIR(info.st_mode) ? EISDIR : kNotRegularFile;
}

// Opens a regular file for reading, or returns why not. The first look keeps
// devices from being opened at all; the second, on the open file, covers a
// name that changed in between. O_NONBLOCK keeps a FIFO from blocking.
int OpenRegularFile(const std::string& path, FileDescriptor& file, struct stat& info) {
  if (stat(path.c_str(), &info) != 0) return errno;
  if (const int error = RegularFileError(info); error != 0) return error;
  file = FileDescriptor(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!file.valid()) return errno;
  if (fstat(file.get(), &info) != 0) return errno;
  return RegularFileError(info);
}

// Hands the whole file, from its start, to `consume` in chunks until it
// returns false. Returns 0 or an errno.
int ReadChunks(int fd, const std::function<bool(std::string_view)>& consume) {
  std::vector<char> buffer(kChunkSize);
  for (off_t from = 0;;) {
    const ssize_t got = pread(fd, buffer.data(), buffer.size(), from);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0 || !consume(std::string_view(buffer.data(), std::size_t(got)))) return 0;
    from += got;
  }
}

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    bytes.remove_prefix(std::size_t(written));
  }
  return 0;
}

// The file a path finally names, following symbolic links, so the new file
// replaces the link's target and not the link. A dangling link names the
// file it would create.
int ResolveLinks(const std::string& path, std::filesystem::path& target) {
  std::filesystem::path current = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info;
    if (lstat(current.c_str(), &info) != 0) {
      if (errno != ENOENT) return errno;
      target = current;
      return 0;
    }
    if (!S_ISLNK(info.st_mode)) {
      target = current;
      return 0;
    }
    std::error_code error;
    const std::filesystem::path link = std::filesystem::read_symlink(current, error);
    if (error) return error.value();
    current = link.is_absolute() ? link : current.parent_path() / link;
  }
  return ELOOP;
}

// The new file's name while it is written: fixed, and only ever used under
// the folder's lock, so each save first clears what a killed one left.
std::string TemporaryName(const std::string& name) { return "." + name + ".tmp"; }

// The new file while it is being written; removed unless it was renamed.
class TemporaryFile {
 public:
  TemporaryFile(int folder, std::string name) : folder_(folder), name_(std::move(name)) {}
  ~TemporaryFile() {
    if (!kept_) unlinkat(folder_, name_.c_str(), 0);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const char* name() const { return name_.c_str(); }
  void Keep() { kept_ = true; }

 private:
  int folder_;
  std::string name_;
  bool kept_ = false;
};

// A root-run connector must not take a user's file away from the user.
int KeepOwnerAndMode(int fd, const struct stat& info) {
  if (geteuid() == 0 && fchown(fd, info.st_uid, info.st_gid) != 0) return errno;
  if (fchmod(fd, info.st_mode & 07777) != 0) return errno;
  return 0;
}

// Reads the values of `names` from the file in one pass; an unreadable file
// leaves them all missing.
void ReadValues(std::string_view section, std::span<const std::string_view> names, int bufferSize,
                const std::string& path, std::vector<std::optional<std::string>>& found,
                FileEncoding& encoding) {
  FileDescriptor file;
  struct stat info;
  if (OpenRegularFile(path, file, info) != 0) return;
  profile_text::SectionReader reader(section, names, bufferSize);
  const int error = ReadChunks(file.get(), [&reader](std::string_view chunk) {
    reader.Feed(chunk);
    return !reader.done();
  });
  if (error != 0) return;
  found = reader.Finish();
  encoding = reader.encoding();
}

// The encoding the file's first bytes announce; none for a missing file.
int ReadEncoding(const FileDescriptor& file, FileEncoding& encoding) {
  encoding = FileEncoding::kEightBit;
  if (!file.valid()) return 0;
  std::array<char, 3> head;
  ssize_t got;
  while ((got = pread(file.get(), head.data(), head.size(), 0)) < 0 && errno == EINTR) {
  }
  if (got < 0) return errno;
  encoding = platform::EncodingOf(std::string_view(head.data(), std::size_t(got)));
  return 0;
}

// The current file with the edit applied, written to `out`.
int WriteEdited(const FileDescriptor& current, int out, const profile_text::Edit& edit) {
  profile_text::Rewriter rewriter(edit);
  std::string rewritten;
  int writeError = 0;
  if (current.valid()) {
    const int readError = ReadChunks(current.get(), [&](std::string_view chunk) {
      rewritten.clear();
      rewriter.Feed(chunk, rewritten);
      writeError = WriteAll(out, rewritten);
      return writeError == 0;
    });
    if (readError != 0) return readError;
    if (writeError != 0) return writeError;
  }
  rewritten.clear();
  rewriter.Finish(rewritten);
  return WriteAll(out, rewritten);
}

class PosixProfileFile final : public ProfileFile {
 public:
  explicit PosixProfileFile(const CodePage& codePage) : codePage_(codePage) {}

  std::string GetString(std::string_view lpAppName, std::string_view lpKeyName,
                        std::string_view lpDefault, int bufferSize,
                        const std::string& lpFileName) override {
    const KeyRequest keys[] = {{lpKeyName, lpDefault}};
    return std::move(GetStrings(lpAppName, keys, bufferSize, lpFileName).front());
  }

  std::vector<std::string> GetStrings(std::string_view lpAppName, std::span<const KeyRequest> keys,
                                      int bufferSize, const std::string& lpFileName) override {
    std::vector<std::string_view> names;
    names.reserve(keys.size());
    for (const KeyRequest& key : keys) names.push_back(key.lpKeyName);
    std::vector<std::optional<std::string>> found(keys.size());
    FileEncoding encoding = FileEncoding::kEightBit;
    ReadValues(lpAppName, names, bufferSize, lpFileName, found, encoding);

    std::vector<std::string> values;
    values.reserve(keys.size());
    const std::size_t maxLength = bufferSize > 0 ? std::size_t(bufferSize) - 1 : 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
      values.push_back(found[i] ? profile_text::ValueFromFile(*found[i], encoding, codePage_,
                                                              found[i]->size() == maxLength
                                                                  ? BufferFill::kFull
                                                                  : BufferFill::kRoomLeft)
                                : profile_text::DefaultValue(keys[i].lpDefault, bufferSize));
    }
    return values;
  }

  Status WriteString(std::string_view lpAppName, std::string_view lpKeyName,
                     std::string_view lpString, const std::string& lpFileName) override {
    std::filesystem::path target;
    if (const int error = ResolveLinks(lpFileName, target); error != 0) {
      return Failure(lpFileName, ReasonFor(error));
    }
    if (!target.has_filename()) return Failure(lpFileName, ReasonFor(EISDIR));
    const std::filesystem::path folderPath =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    FileDescriptor folder(open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) return Failure(lpFileName, ReasonFor(errno));
    LockFolder(folder.get());
    return WriteLocked(lpAppName, lpKeyName, lpString, lpFileName, target, folder.get());
  }

 private:
  // Blocks until no other writer holds the folder. A file system without
  // flock (some network ones) still gets atomic, if unserialized, writes.
  static void LockFolder(int folder) {
    while (flock(folder, LOCK_EX) != 0 && errno == EINTR) {
    }
  }

  Status WriteLocked(std::string_view lpAppName, std::string_view lpKeyName,
                     std::string_view lpString, const std::string& lpFileName,
                     const std::filesystem::path& target, int folder) {
    // Also when this save changes nothing or fails.
    unlinkat(folder, TemporaryName(target.filename()).c_str(), 0);
    FileDescriptor current;
    struct stat info;
    const int error = OpenRegularFile(target, current, info);
    if (error != 0 && error != ENOENT) return Failure(lpFileName, ReasonFor(error));
    // A read-only game.ini stays as it is, as it would on Windows.
    if (current.valid() && faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
      return Failure(lpFileName, ReasonFor(errno));
    }

    FileEncoding encoding;
    if (const int headError = ReadEncoding(current, encoding); headError != 0) {
      return Failure(lpFileName, ReasonFor(headError));
    }
    profile_text::WritePlanner planner(lpAppName, lpKeyName,
                                       profile_text::ValueForFile(lpString, encoding, codePage_));
    if (current.valid()) {
      const int readError = ReadChunks(current.get(), [&planner](auto chunk) {
        planner.Feed(chunk);
        return !planner.done();
      });
      if (readError != 0) return Failure(lpFileName, ReasonFor(readError));
    }
    const profile_text::WritePlan plan = planner.Finish();
    switch (plan.kind) {
      case profile_text::WritePlan::Kind::kUnchanged: return Status::Ok();
      case profile_text::WritePlan::Kind::kRefused: return Failure(lpFileName, plan.reason);
      case profile_text::WritePlan::Kind::kEdit: break;
    }
    const int replaceError =
        Replace(target.filename(), folder, current, current.valid() ? &info : nullptr, plan.edit);
    if (replaceError != 0) return Failure(lpFileName, ReasonFor(replaceError));
    return Status::Ok();
  }

  // Writes the edited file beside the target and renames it over the target.
  static int Replace(const std::string& name, int folder, const FileDescriptor& current,
                     const struct stat* currentInfo, const profile_text::Edit& edit) {
    TemporaryFile temporary(folder, TemporaryName(name));
    // Private until it has the old file's owner and mode; a new file gets
    // the usual mode less the umask.
    const mode_t mode = currentInfo ? 0600 : 0666;
    FileDescriptor out(openat(folder, temporary.name(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!out.valid()) return errno;
    if (currentInfo) {
      if (const int error = KeepOwnerAndMode(out.get(), *currentInfo); error != 0) return error;
    }
    if (const int error = WriteEdited(current, out.get(), edit); error != 0) return error;
    if (fsync(out.get()) != 0) return errno;
    if (const int error = out.Close(); error != 0) return error;
    if (renameat(folder, temporary.name(), folder, name.c_str()) != 0) return errno;
    temporary.Keep();
    // Makes the rename itself durable; by now the new file is in place
    // either way, so a folder that cannot be flushed is no failure.
    fsync(folder);
    return 0;
  }

  const CodePage& codePage_;
};

}  // namespace

ProfileFile& SystemProfileFile() {
  static PosixProfileFile profileFile(SystemCodePage());
  return profileFile;
}

}  // namespace platform
