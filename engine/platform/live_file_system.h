#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "engine/platform/file_system_operating.h"

namespace bnch {

// What was being done when a file-system call failed; it picks the wording of the
// error description.
enum class FileOperation { read, save, createFolder, remove, move, copy, setAttributes, listFolder };

// A FileSystemError for `error` (an errno value) met while doing `operation` on
// `item`, with a description a beginner can read, e.g. "The file “.zprofile”
// doesn’t exist." All user-facing file-system error texts live in this function.
FileSystemError makeFileSystemError(int error, FileOperation operation, const std::filesystem::path& item);
// The same, with the folder that really failed named in the text (the folder a
// link's target lies in, which may not be the folder of `item`).
FileSystemError makeFileSystemError(int error, FileOperation operation, const std::filesystem::path& item,
                                    const std::filesystem::path& realFolder);
// A read refused because the item is not a regular file (a FIFO, socket or device).
FileSystemError makeNotRegularFileError(const std::filesystem::path& item);
// A read refused because the file is larger than `sizeLimit` bytes.
FileSystemError makeFileTooLargeError(const std::filesystem::path& item, std::uint64_t sizeLimit);

// Creates a new file with a unique name from `pattern` (which ends in "XXXXXX" and
// is rewritten to the name chosen), readable and writable by its owner only, and
// returns its descriptor, or -1 with errno set. The descriptor is close-on-exec
// from the start, so no child started meanwhile on another thread inherits it.
int createPrivateTemporaryFile(std::string& pattern);

struct LiveFileSystemOptions {
  // The home folder to report instead of $HOME / the password database.
  std::optional<std::filesystem::path> homeDirectory;
};

// The file system of this machine over POSIX. Stateless after construction; every
// operation may be called from any thread. Failures throw FileSystemError naming
// the path the caller gave (never a temporary path); when a write through a link
// fails in the folder of the link's target, the text names that folder.
//
// Atomic writes create a private, close-on-exec temporary file next to the target, write
// and fsync every byte, give it the target's permission bits (a new file gets
// 0666 & ~umask) and rename it over the target; the temporary file is removed on
// every failure path, so a failed write leaves the old file untouched. When the
// target is a symbolic link, the file the link resolves to is replaced and the link
// is kept. A write cut short by the file-size limit fails with EFBIG (SIGXFSZ is
// ignored from the first LiveFileSystem on) and leaves no temporary file.
class LiveFileSystem : public FileSystemOperating {
 public:
  explicit LiveFileSystem(LiveFileSystemOptions options = {});

  std::filesystem::path homeDirectory() const override;
  bool fileExists(const std::filesystem::path& path) const override;
  bool directoryExists(const std::filesystem::path& path) const override;
  // True for an item that is not a folder and that the current user may execute.
  bool isExecutableFile(const std::filesystem::path& path) const override;
  std::vector<std::string> contentsOfDirectory(const std::filesystem::path& path) const override;
  // Without intermediates the folder must not exist yet; with them an existing
  // folder is accepted.
  void createDirectory(const std::filesystem::path& path, bool withIntermediateDirectories) override;
  // Removes a file, a link (not its target) or a whole folder tree.
  void removeItem(const std::filesystem::path& path) override;
  // Rename without replacing; across volumes a copy followed by a removal.
  void moveItem(const std::filesystem::path& from, const std::filesystem::path& to) override;
  // Keeps permission bits and modification dates; links are copied as links. A
  // failed copy removes what it had created at `to`.
  void copyItem(const std::filesystem::path& from, const std::filesystem::path& to) override;
  // The item itself (a link is not followed).
  FileAttributes attributesOfItem(const std::filesystem::path& path) const override;
  void setAttributes(const FileAttributes& attributes, const std::filesystem::path& path) override;
  std::string readString(const std::filesystem::path& path, std::uint64_t sizeLimit = defaultReadLimit) const override;
  std::string readData(const std::filesystem::path& path, std::uint64_t sizeLimit = defaultReadLimit) const override;
  void readChunks(const std::filesystem::path& path, std::uint64_t sizeLimit,
                  const std::function<void(std::string_view)>& consume) const override;
  void writeData(const std::string& bytes, const std::filesystem::path& path) override;
  void writeData(const std::string& bytes, const std::filesystem::path& path, std::uint32_t permissions) override;
  // Not atomically: opens the file in place (creating or truncating it) and writes.
  void write(const std::string& text, const std::filesystem::path& path, bool atomically) override;
  std::filesystem::path applicationSupportDirectory() override;
  std::filesystem::path cachesDirectory() override;
  // A path that does not exist yet is measured at its nearest existing ancestor.
  std::optional<std::int64_t> volumeAvailableCapacity(const std::filesystem::path& path) const override;

 protected:
  // Writes up to `count` bytes of a file's contents like write(2): the number
  // written, or -1 with errno set. Every byte of every file written goes through
  // here, so a subclass can make the disk fill up halfway.
  virtual ssize_t writeSome(int fd, const void* bytes, std::size_t count) const;

 private:
  void writeAll(int fd, const std::string& bytes) const;  // throws errno as std::system_error
  void writeAtomically(const std::string& bytes, const std::filesystem::path& path,
                       std::optional<std::uint32_t> permissions);
  void copyTree(const std::filesystem::path& from, const std::filesystem::path& to) const;

  std::optional<std::filesystem::path> home_;
};

}  // namespace bnch
