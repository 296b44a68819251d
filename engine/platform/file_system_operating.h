#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace bnch {

// A file-system failure. `description()` is a sentence a person can read (it
// names the item and the cause); `code()` is the underlying errno value.
class FileSystemError : public std::runtime_error {
 public:
  FileSystemError(std::error_code code, std::filesystem::path path, const std::string& description)
      : std::runtime_error(description), code_(code), path_(std::move(path)) {}
  const std::error_code& code() const noexcept { return code_; }
  const std::filesystem::path& path() const noexcept { return path_; }
  std::string description() const { return what(); }

 private:
  std::error_code code_;
  std::filesystem::path path_;
};

enum class FileType { regular, directory, symlink, other };

// The item attributes callers read (modification date, size, permissions) and set.
struct FileAttributes {
  std::optional<std::chrono::system_clock::time_point> modificationDate;
  std::optional<std::uint64_t> size;
  std::optional<std::uint32_t> posixPermissions;  // e.g. 0600
  std::optional<FileType> type;

  bool operator==(const FileAttributes&) const = default;
};

// Files and folders. Paths are taken exactly as given (no tilde expansion);
// callers build absolute paths from homeDirectory(). Throwing operations throw
// FileSystemError. Every write is atomic: the bytes go to a temporary file in the
// same folder, are flushed to disk, and replace the target by rename, so a failed
// write leaves the old file untouched. Writing through a symbolic link replaces
// the link's target and keeps the link. All operations may be called from any thread.
class FileSystemOperating {
 public:
  virtual ~FileSystemOperating() = default;

  virtual std::filesystem::path homeDirectory() const = 0;
  virtual bool fileExists(const std::filesystem::path& path) const = 0;       // any item; links followed
  virtual bool directoryExists(const std::filesystem::path& path) const = 0;  // only folders
  virtual bool isExecutableFile(const std::filesystem::path& path) const = 0;
  // Entry names (not paths), no recursion, platform order.
  virtual std::vector<std::string> contentsOfDirectory(const std::filesystem::path& path) const = 0;
  virtual void createDirectory(const std::filesystem::path& path, bool withIntermediateDirectories) = 0;
  virtual void removeItem(const std::filesystem::path& path) = 0;  // a file or a whole tree
  virtual void moveItem(const std::filesystem::path& from,
                        const std::filesystem::path& to) = 0;  // fails if `to` exists
  virtual void copyItem(const std::filesystem::path& from,
                        const std::filesystem::path& to) = 0;  // recursive; fails if `to` exists
  virtual FileAttributes attributesOfItem(const std::filesystem::path& path) const = 0;
  // Sets the attributes that are present (permissions, modification date).
  virtual void setAttributes(const FileAttributes& attributes, const std::filesystem::path& path) = 0;
  // Reads refuse, with a FileSystemError, anything but a regular file (or a link
  // to one) without waiting on it (a FIFO, a socket, a device), and a file larger
  // than `sizeLimit` bytes.
  static constexpr std::uint64_t defaultReadLimit = 64u << 20;

  // Whole file as UTF-8; throws when the bytes are not valid UTF-8.
  virtual std::string readString(const std::filesystem::path& path,
                                 std::uint64_t sizeLimit = defaultReadLimit) const = 0;
  virtual std::string readData(const std::filesystem::path& path,
                               std::uint64_t sizeLimit = defaultReadLimit) const = 0;  // raw bytes
  // The raw bytes handed to `consume` in order, a chunk at a time, under the same
  // rules as readData, so that a large file (an installer package) never has to
  // be held whole. This default reads the whole file once; live systems stream.
  virtual void readChunks(const std::filesystem::path& path, std::uint64_t sizeLimit,
                          const std::function<void(std::string_view)>& consume) const {
    consume(readData(path, sizeLimit));
  }
  virtual void writeData(const std::string& bytes, const std::filesystem::path& path) = 0;  // atomic
  // Atomic too, and the file gets exactly `permissions` (e.g. 0600), new or
  // replaced; its bytes are never readable under wider bits, not even briefly.
  virtual void writeData(const std::string& bytes, const std::filesystem::path& path, std::uint32_t permissions) = 0;
  virtual void write(const std::string& text, const std::filesystem::path& path, bool atomically) = 0;
  // ~/Library/Application Support and ~/Library/Caches, created if missing.
  virtual std::filesystem::path applicationSupportDirectory() = 0;
  virtual std::filesystem::path cachesDirectory() = 0;
  // Free bytes of the volume holding the path (statvfs), or nothing when unreadable.
  virtual std::optional<std::int64_t> volumeAvailableCapacity(const std::filesystem::path& path) const = 0;
};

}  // namespace bnch
