#include "engine/platform/live_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include "engine/platform/utf8.h"

namespace bnch {
namespace fs = std::filesystem;

namespace {

// The process umask, read once before any thread can create files: reading it
// means setting it, which would race with files created on other threads.
const mode_t kProcessUmask = [] {
  mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}();

std::string quoted(const std::string& name) { return "\u201C" + name + "\u201D"; }

std::string itemName(const fs::path& item) {
  fs::path name = item.filename();
  if (name.empty()) name = item.parent_path().filename();  // "dir/" spelled with a slash
  if (name.empty()) return item.string();                  // "/" itself
  return name.string();
}

[[noreturn]] void fail(int error, FileOperation operation, const fs::path& item) {
  throw makeFileSystemError(error, operation, item);
}

bool lstatItem(const fs::path& path, struct stat& info) { return ::lstat(path.c_str(), &info) == 0; }

void closeQuietly(int fd) {
  int saved = errno;
  ::close(fd);
  errno = saved;
}

// Follows a chain of symbolic links to the path a write should replace; the last
// link may dangle (the write then creates its target).
fs::path resolveLinks(const fs::path& path, const fs::path& named) {
  fs::path current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (!lstatItem(current, info) || !S_ISLNK(info.st_mode)) return current;
    std::vector<char> buffer(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1);
    ssize_t length = ::readlink(current.c_str(), buffer.data(), buffer.size());
    if (length < 0) fail(errno, FileOperation::save, named);
    fs::path target(std::string(buffer.data(), static_cast<std::size_t>(length)));
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  fail(ELOOP, FileOperation::save, named);
}

void syncFolder(const fs::path& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: some file systems refuse to sync a folder
  ::close(fd);
}

void setModificationTime(const fs::path& path, std::chrono::system_clock::time_point when, bool followLinks) {
  auto since = when.time_since_epoch();
  auto seconds = std::chrono::floor<std::chrono::seconds>(since);
  auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds);
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds.count());
  times[1].tv_nsec = static_cast<long>(nanoseconds.count());
  if (::utimensat(AT_FDCWD, path.c_str(), times, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
    fail(errno, FileOperation::setAttributes, path);
  }
}

std::chrono::system_clock::time_point modificationTime(const struct stat& info) {
#ifdef __APPLE__
  const struct timespec& stamp = info.st_mtimespec;
#else
  const struct timespec& stamp = info.st_mtim;
#endif
  return std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
      std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec)));
}

// Renames without replacing an existing `to`; returns 0 or -1 with errno.
int renameNoReplace(const fs::path& from, const fs::path& to) {
#if defined(__APPLE__)
  return ::renamex_np(from.c_str(), to.c_str(), RENAME_EXCL);
#else
#if defined(__linux__) && defined(RENAME_NOREPLACE)
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
#endif
  struct stat info {};
  if (lstatItem(to, info)) {
    errno = EEXIST;
    return -1;
  }
  return ::rename(from.c_str(), to.c_str());
#endif
}

}  // namespace

int createPrivateTemporaryFile(std::string& pattern) {
#if defined(__linux__) || defined(__APPLE__)
  return ::mkostemp(pattern.data(), O_CLOEXEC);
#else
  const int fd = ::mkstemp(pattern.data());
  if (fd >= 0) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  return fd;
#endif
}

FileSystemError makeFileSystemError(int error, FileOperation operation, const fs::path& item) {
  return makeFileSystemError(error, operation, item,
                             item.has_filename() ? item.parent_path() : item.parent_path().parent_path());
}

FileSystemError makeNotRegularFileError(const fs::path& item) {
  return FileSystemError(
      std::error_code(EINVAL, std::generic_category()), item,
      "The file " + quoted(itemName(item)) + " couldn\u2019t be opened because it isn\u2019t a regular file.");
}

FileSystemError makeFileTooLargeError(const fs::path& item, std::uint64_t sizeLimit) {
  const std::uint64_t mebibytes = std::max<std::uint64_t>(1, sizeLimit >> 20);
  return FileSystemError(std::error_code(EFBIG, std::generic_category()), item,
                         "The file " + quoted(itemName(item)) + " couldn\u2019t be opened because it is larger than " +
                             std::to_string(mebibytes) + " MB.");
}

FileSystemError makeFileSystemError(int error, FileOperation operation, const fs::path& item,
                                    const fs::path& realFolder) {
  const std::string name = quoted(itemName(item));
  const std::string folder =
      quoted(realFolder.filename().empty() ? realFolder.string() : realFolder.filename().string());
  std::string text;
  switch (error) {
    case EACCES:
    case EPERM:
      switch (operation) {
        case FileOperation::read:
          text = "The file " + name + " couldn\u2019t be opened because you don\u2019t have permission to view it.";
          break;
        case FileOperation::save:
        case FileOperation::createFolder:
          text = "You don\u2019t have permission to save the file " + name + " in the folder " + folder + ".";
          break;
        case FileOperation::remove:
          text = name + " couldn\u2019t be removed because you don\u2019t have permission to access it.";
          break;
        case FileOperation::move:
          text = name + " couldn\u2019t be moved because you don\u2019t have permission to access " + folder + ".";
          break;
        case FileOperation::copy:
          text = name + " couldn\u2019t be copied because you don\u2019t have permission to access " + folder + ".";
          break;
        case FileOperation::setAttributes:
          text = "You don\u2019t have permission to change the file " + name + ".";
          break;
        case FileOperation::listFolder:
          text = "The folder " + name +
                 " couldn\u2019t be opened because you don\u2019t have permission to see its contents.";
          break;
      }
      break;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      text = "There isn\u2019t enough space on the disk to save " + name + ".";
      break;
    case ENOENT:
      if (operation == FileOperation::save || operation == FileOperation::createFolder) {
        text = "The folder " + folder + " doesn\u2019t exist.";
      } else if (operation == FileOperation::listFolder) {
        text = "The folder " + name + " doesn\u2019t exist.";
      } else {
        text = "The file " + name + " doesn\u2019t exist.";
      }
      break;
    case EROFS:
      text = "You can\u2019t save the file " + name + " because the volume is read only.";
      if (operation == FileOperation::remove)
        text = name + " couldn\u2019t be removed because the volume is read only.";
      break;
    case EISDIR:
      text = operation == FileOperation::read
                 ? "The file " + name + " couldn\u2019t be opened because it is a folder."
                 : "The file " + name + " couldn\u2019t be saved because a folder with the same name already exists.";
      break;
    case ENOTDIR:
      text = operation == FileOperation::listFolder
                 ? "The file " + name + " couldn\u2019t be opened because it isn\u2019t a folder."
                 : "The file " + name + " couldn\u2019t be reached because a part of its path isn\u2019t a folder.";
      break;
    case EEXIST:
    case ENOTEMPTY:
      if (operation == FileOperation::move) {
        text = name + " couldn\u2019t be moved because an item with the same name already exists.";
      } else if (operation == FileOperation::copy) {
        text = name + " couldn\u2019t be copied because an item with the same name already exists.";
      } else if (operation == FileOperation::remove) {
        text = name + " couldn\u2019t be removed because it isn\u2019t empty.";
      } else {
        text = "The file " + name + " couldn\u2019t be saved because an item with the same name already exists.";
      }
      break;
    case ELOOP:
      text = "The file " + name + " couldn\u2019t be opened because of too many levels of symbolic links.";
      break;
    case EFBIG:
      text = "The file " + name + " couldn\u2019t be saved because it is larger than this account may write.";
      break;
    case ENXIO:
      return makeNotRegularFileError(item);
    case ENAMETOOLONG:
      text = "The name " + name + " is too long.";
      break;
    case EILSEQ:
      text = "The file " + name +
             " couldn\u2019t be opened because the text encoding of its contents can\u2019t be determined.";
      break;
    default: {
      const char* verb = "opened";
      switch (operation) {
        case FileOperation::read:
        case FileOperation::listFolder:
          verb = "opened";
          break;
        case FileOperation::save:
        case FileOperation::createFolder:
          verb = "saved";
          break;
        case FileOperation::remove:
          verb = "removed";
          break;
        case FileOperation::move:
          verb = "moved";
          break;
        case FileOperation::copy:
          verb = "copied";
          break;
        case FileOperation::setAttributes:
          verb = "changed";
          break;
      }
      text = "The file " + name + " couldn\u2019t be " + verb + ": " + std::generic_category().message(error) + ".";
    }
  }
  return FileSystemError(std::error_code(error, std::generic_category()), item, text);
}

LiveFileSystem::LiveFileSystem(LiveFileSystemOptions options) : home_(std::move(options.homeDirectory)) {
  // A write beyond the file-size limit would otherwise end the process by
  // SIGXFSZ halfway, leaving a temporary file; ignored, it fails with EFBIG and
  // every failure path cleans up.
  static const bool ignoringFileSizeSignal = [] { return ::signal(SIGXFSZ, SIG_IGN) != SIG_ERR; }();
  (void)ignoringFileSizeSignal;
}

fs::path LiveFileSystem::homeDirectory() const {
  if (home_) return *home_;
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
  long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(static_cast<std::size_t>(suggested > 0 ? suggested : 16384));
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return "/";
}

bool LiveFileSystem::fileExists(const fs::path& path) const {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

bool LiveFileSystem::directoryExists(const fs::path& path) const {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool LiveFileSystem::isExecutableFile(const fs::path& path) const {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  return ::access(path.c_str(), X_OK) == 0;
}

std::vector<std::string> LiveFileSystem::contentsOfDirectory(const fs::path& path) const {
  DIR* folder = ::opendir(path.c_str());
  if (folder == nullptr) fail(errno, FileOperation::listFolder, path);
  std::vector<std::string> names;
  errno = 0;
  while (struct dirent* entry = ::readdir(folder)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
    errno = 0;
  }
  int error = errno;
  ::closedir(folder);
  if (error != 0) fail(error, FileOperation::listFolder, path);
  return names;
}

void LiveFileSystem::createDirectory(const fs::path& path, bool withIntermediateDirectories) {
  if (!withIntermediateDirectories) {
    if (::mkdir(path.c_str(), 0777) != 0) fail(errno, FileOperation::createFolder, path);
    return;
  }
  fs::path partial;
  for (const auto& part : path.lexically_normal()) {
    partial /= part;
    if (part.empty() || part == partial.root_path()) continue;
    if (::mkdir(partial.c_str(), 0777) == 0) continue;
    int error = errno;
    if (error == EEXIST && directoryExists(partial)) continue;
    fail(error == EEXIST ? ENOTDIR : error, FileOperation::createFolder, error == EEXIST ? path : partial);
  }
}

void LiveFileSystem::removeItem(const fs::path& path) {
  struct stat info {};
  if (!lstatItem(path, info)) fail(errno, FileOperation::remove, path);
  if (!S_ISDIR(info.st_mode)) {
    if (::unlink(path.c_str()) != 0) fail(errno, FileOperation::remove, path);
    return;
  }
  for (const auto& name : contentsOfDirectory(path)) removeItem(path / name);
  if (::rmdir(path.c_str()) != 0) fail(errno, FileOperation::remove, path);
}

void LiveFileSystem::moveItem(const fs::path& from, const fs::path& to) {
  struct stat info {};
  if (!lstatItem(from, info)) fail(errno, FileOperation::move, from);
  if (renameNoReplace(from, to) == 0) return;
  int error = errno;
  if (error == ENOENT) fail(ENOENT, FileOperation::save, to);  // the destination folder is missing
  if (error != EXDEV) fail(error, FileOperation::move, from);
  copyItem(from, to);
  removeItem(from);
}

void LiveFileSystem::copyItem(const fs::path& from, const fs::path& to) {
  struct stat info {};
  if (!lstatItem(from, info)) fail(errno, FileOperation::copy, from);
  if (lstatItem(to, info)) fail(EEXIST, FileOperation::copy, from);
  try {
    copyTree(from, to);
  } catch (const FileSystemError&) {
    struct stat left {};
    if (lstatItem(to, left)) {
      try {
        removeItem(to);
      } catch (const FileSystemError&) {
        // The original failure is the one to report.
      }
    }
    throw;
  }
}

void LiveFileSystem::copyTree(const fs::path& from, const fs::path& to) const {
  struct stat info {};
  if (!lstatItem(from, info)) fail(errno, FileOperation::copy, from);
  if (S_ISLNK(info.st_mode)) {
    std::vector<char> buffer(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1);
    ssize_t length = ::readlink(from.c_str(), buffer.data(), buffer.size());
    if (length < 0) fail(errno, FileOperation::copy, from);
    std::string target(buffer.data(), static_cast<std::size_t>(length));
    if (::symlink(target.c_str(), to.c_str()) != 0) fail(errno, FileOperation::copy, from);
    return;
  }
  if (S_ISDIR(info.st_mode)) {
    if (::mkdir(to.c_str(), 0700) != 0) fail(errno, FileOperation::copy, from);
    for (const auto& name : contentsOfDirectory(from)) copyTree(from / name, to / name);
    // Permissions last, so that a read-only folder can still be filled.
    if (::chmod(to.c_str(), info.st_mode & 07777) != 0) fail(errno, FileOperation::copy, from);
    setModificationTime(to, modificationTime(info), false);
    return;
  }
  if (!S_ISREG(info.st_mode)) fail(ENOTSUP, FileOperation::copy, from);
  int source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) fail(errno, FileOperation::copy, from);
  int target = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (target < 0) {
    closeQuietly(source);
    fail(errno, FileOperation::copy, from);
  }
  int error = 0;
  std::vector<char> buffer(1 << 16);
  while (error == 0) {
    ssize_t got = ::read(source, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    if (got == 0) break;
    try {
      writeAll(target, std::string(buffer.data(), static_cast<std::size_t>(got)));
    } catch (const std::system_error& e) {
      error = e.code().value();
    }
  }
  if (error == 0 && ::fchmod(target, info.st_mode & 07777) != 0) error = errno;
  ::close(source);
  if (::close(target) != 0 && error == 0) error = errno;
  if (error != 0) fail(error, FileOperation::copy, from);
  setModificationTime(to, modificationTime(info), true);
}

FileAttributes LiveFileSystem::attributesOfItem(const fs::path& path) const {
  struct stat info {};
  if (!lstatItem(path, info)) fail(errno, FileOperation::read, path);
  FileAttributes attributes;
  attributes.modificationDate = modificationTime(info);
  attributes.size = static_cast<std::uint64_t>(info.st_size);
  attributes.posixPermissions = static_cast<std::uint32_t>(info.st_mode & 07777);
  if (S_ISREG(info.st_mode)) {
    attributes.type = FileType::regular;
  } else if (S_ISDIR(info.st_mode)) {
    attributes.type = FileType::directory;
  } else if (S_ISLNK(info.st_mode)) {
    attributes.type = FileType::symlink;
  } else {
    attributes.type = FileType::other;
  }
  return attributes;
}

void LiveFileSystem::setAttributes(const FileAttributes& attributes, const fs::path& path) {
  if (attributes.posixPermissions && ::chmod(path.c_str(), *attributes.posixPermissions & 07777) != 0) {
    fail(errno, FileOperation::setAttributes, path);
  }
  if (attributes.modificationDate) setModificationTime(path, *attributes.modificationDate, true);
}

void LiveFileSystem::readChunks(const fs::path& path, std::uint64_t sizeLimit,
                                const std::function<void(std::string_view)>& consume) const {
  // Without O_NONBLOCK, opening a FIFO waits for a writer forever; nothing but a
  // regular file is read, so the flag never changes what a read returns.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) fail(errno, FileOperation::read, path);
  struct Close {
    int fd;
    ~Close() { ::close(fd); }
  } close{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) fail(errno, FileOperation::read, path);
  if (!S_ISREG(info.st_mode)) {
    if (S_ISDIR(info.st_mode)) fail(EISDIR, FileOperation::read, path);
    throw makeNotRegularFileError(path);
  }
  if (static_cast<std::uint64_t>(info.st_size) > sizeLimit) throw makeFileTooLargeError(path, sizeLimit);
  std::vector<char> buffer(1 << 20);
  std::uint64_t total = 0;
  for (;;) {
    ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      fail(errno, FileOperation::read, path);
    }
    if (got == 0) break;
    total += static_cast<std::uint64_t>(got);
    if (total > sizeLimit) throw makeFileTooLargeError(path, sizeLimit);  // it grew while being read
    consume(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
  }
}

std::string LiveFileSystem::readData(const fs::path& path, std::uint64_t sizeLimit) const {
  std::string bytes;
  readChunks(path, sizeLimit, [&](std::string_view chunk) {
    if (bytes.empty()) bytes.reserve(chunk.size());
    bytes.append(chunk);
  });
  return bytes;
}

std::string LiveFileSystem::readString(const fs::path& path, std::uint64_t sizeLimit) const {
  std::string text = readData(path, sizeLimit);
  if (!isValidUtf8(text)) fail(EILSEQ, FileOperation::read, path);
  return text;
}

ssize_t LiveFileSystem::writeSome(int fd, const void* bytes, std::size_t count) const {
  return ::write(fd, bytes, count);
}

void LiveFileSystem::writeAll(int fd, const std::string& bytes) const {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const char* start = bytes.data() + done;
    std::size_t left = bytes.size() - done;
    ssize_t wrote = writeSome(fd, start, left);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category());
    }
    if (wrote == 0) throw std::system_error(EIO, std::generic_category());
    done += static_cast<std::size_t>(wrote);
  }
}

void LiveFileSystem::writeData(const std::string& bytes, const fs::path& path) {
  writeAtomically(bytes, path, std::nullopt);
}

void LiveFileSystem::writeData(const std::string& bytes, const fs::path& path, std::uint32_t permissions) {
  writeAtomically(bytes, path, permissions & 07777);
}

void LiveFileSystem::writeAtomically(const std::string& bytes, const fs::path& path,
                                     std::optional<std::uint32_t> permissions) {
  const fs::path target = resolveLinks(path, path);
  const fs::path folder = target.parent_path();
  // Errors name the folder the write really happens in (a link's target may lie
  // elsewhere than the link).
  const auto failHere = [&](int error) { throw makeFileSystemError(error, FileOperation::save, path, folder); };
  mode_t mode = 0666 & ~kProcessUmask;
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) fail(EISDIR, FileOperation::save, path);
    mode = existing.st_mode & 07777;
  }
  if (permissions) mode = static_cast<mode_t>(*permissions);
  // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) about "." + name.
  std::string temporaryName(".");
  temporaryName += target.filename().string();
  temporaryName += ".tmp-XXXXXX";
  std::string pattern = (folder / temporaryName).string();
  int fd = createPrivateTemporaryFile(pattern);  // 0600 from the first byte
  if (fd < 0) failHere(errno);
  const std::string temporary = pattern;
  int error = 0;
  try {
    writeAll(fd, bytes);
  } catch (const std::system_error& e) {
    error = e.code().value();
  }
  if (error == 0 && ::fchmod(fd, mode) != 0) error = errno;
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    failHere(error);
  }
  syncFolder(folder);
}

void LiveFileSystem::write(const std::string& text, const fs::path& path, bool atomically) {
  if (atomically) {
    writeData(text, path);
    return;
  }
  // O_NONBLOCK: a FIFO without a reader fails (ENXIO) instead of waiting.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
  if (fd < 0) fail(errno, FileOperation::save, path);
  int error = 0;
  try {
    writeAll(fd, text);
  } catch (const std::system_error& e) {
    error = e.code().value();
  }
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) fail(error, FileOperation::save, path);
}

fs::path LiveFileSystem::applicationSupportDirectory() {
  fs::path folder = homeDirectory() / "Library" / "Application Support";
  createDirectory(folder, true);
  return folder;
}

fs::path LiveFileSystem::cachesDirectory() {
  fs::path folder = homeDirectory() / "Library" / "Caches";
  createDirectory(folder, true);
  return folder;
}

std::optional<std::int64_t> LiveFileSystem::volumeAvailableCapacity(const fs::path& path) const {
  fs::path probe = path.empty() ? fs::path(".") : path;
  for (;;) {
    struct statvfs info {};
    if (::statvfs(probe.c_str(), &info) == 0) {
      return static_cast<std::int64_t>(info.f_bavail) * static_cast<std::int64_t>(info.f_frsize);
    }
    if (errno != ENOENT) return std::nullopt;
    fs::path parent = probe.parent_path();
    if (parent.empty()) parent = ".";
    if (parent == probe) return std::nullopt;
    probe = parent;
  }
}

}  // namespace bnch
