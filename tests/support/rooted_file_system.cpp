#include "tests/support/rooted_file_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace bnch::testing {
namespace fs = std::filesystem;

namespace {

void check(int result, const fs::path& path, const char* what) {
  if (result != 0) throw std::system_error(errno, std::generic_category(), std::string(what) + " " + path.string());
}

}  // namespace

RootedFileSystem::RootedFileSystem(fs::path root) : RootedFileSystem(std::move(root), Options{}) {}

RootedFileSystem::RootedFileSystem(fs::path root, Options options)
    : root_(fs::weakly_canonical(root)),
      home_(fs::path("/") / options.home.relative_path()),
      live_(LiveFileSystemOptions{.homeDirectory = realPath(home_)}, std::move(options.writeBytes)) {
  fs::create_directories(root_);
  fs::create_directories(realPath(home_));
}

fs::path RootedFileSystem::realPath(const fs::path& path) const {
  // Normalising "/" + path first keeps ".." from climbing out of the root.
  fs::path normal = (fs::path("/") / path.relative_path()).lexically_normal();
  fs::path relative = normal.relative_path();
  return relative.empty() ? root_ : root_ / relative;
}

fs::path RootedFileSystem::virtualPath(const fs::path& real) const {
  fs::path relative = real.lexically_relative(root_);
  if (relative.empty() || *relative.begin() == "..") return real;  // not inside the root
  if (relative == ".") return "/";
  return fs::path("/") / relative;
}

template <typename Action>
decltype(auto) RootedFileSystem::translatingErrors(Action&& action) const {
  try {
    return action();
  } catch (const FileSystemError& error) {
    // Descriptions name items and their folder; the root folder reads as "/".
    std::string text = error.description();
    const std::string rootName = "\u201C" + root_.filename().string() + "\u201D";
    for (auto at = text.find(rootName); at != std::string::npos; at = text.find(rootName, at + 1)) {
      text.replace(at, rootName.size(), "\u201C/\u201D");
    }
    throw FileSystemError(error.code(), virtualPath(error.path()), text);
  }
}

fs::path RootedFileSystem::homeDirectory() const { return home_; }

bool RootedFileSystem::fileExists(const fs::path& path) const { return live_.fileExists(realPath(path)); }

bool RootedFileSystem::directoryExists(const fs::path& path) const { return live_.directoryExists(realPath(path)); }

bool RootedFileSystem::isExecutableFile(const fs::path& path) const { return live_.isExecutableFile(realPath(path)); }

std::vector<std::string> RootedFileSystem::contentsOfDirectory(const fs::path& path) const {
  return translatingErrors([&] { return live_.contentsOfDirectory(realPath(path)); });
}

void RootedFileSystem::createDirectory(const fs::path& path, bool withIntermediateDirectories) {
  translatingErrors([&] { live_.createDirectory(realPath(path), withIntermediateDirectories); });
}

void RootedFileSystem::removeItem(const fs::path& path) {
  translatingErrors([&] { live_.removeItem(realPath(path)); });
}

void RootedFileSystem::moveItem(const fs::path& from, const fs::path& to) {
  translatingErrors([&] { live_.moveItem(realPath(from), realPath(to)); });
}

void RootedFileSystem::copyItem(const fs::path& from, const fs::path& to) {
  translatingErrors([&] { live_.copyItem(realPath(from), realPath(to)); });
}

FileAttributes RootedFileSystem::attributesOfItem(const fs::path& path) const {
  return translatingErrors([&] { return live_.attributesOfItem(realPath(path)); });
}

void RootedFileSystem::setAttributes(const FileAttributes& attributes, const fs::path& path) {
  translatingErrors([&] { live_.setAttributes(attributes, realPath(path)); });
}

std::string RootedFileSystem::readString(const fs::path& path, std::uint64_t sizeLimit) const {
  return translatingErrors([&] { return live_.readString(realPath(path), sizeLimit); });
}

std::string RootedFileSystem::readData(const fs::path& path, std::uint64_t sizeLimit) const {
  return translatingErrors([&] { return live_.readData(realPath(path), sizeLimit); });
}

void RootedFileSystem::writeData(const std::string& bytes, const fs::path& path) {
  translatingErrors([&] { live_.writeData(bytes, realPath(path)); });
}

void RootedFileSystem::writeData(const std::string& bytes, const fs::path& path, std::uint32_t permissions) {
  translatingErrors([&] { live_.writeData(bytes, realPath(path), permissions); });
}

void RootedFileSystem::write(const std::string& text, const fs::path& path, bool atomically) {
  translatingErrors([&] { live_.write(text, realPath(path), atomically); });
}

fs::path RootedFileSystem::applicationSupportDirectory() {
  return translatingErrors([&] { return virtualPath(live_.applicationSupportDirectory()); });
}

fs::path RootedFileSystem::cachesDirectory() {
  return translatingErrors([&] { return virtualPath(live_.cachesDirectory()); });
}

std::optional<std::int64_t> RootedFileSystem::volumeAvailableCapacity(const fs::path& path) const {
  return live_.volumeAvailableCapacity(realPath(path));
}

void RootedFileSystem::writeFile(const fs::path& path, const std::string& contents, std::uint32_t mode) {
  const fs::path real = realPath(path);
  fs::create_directories(real.parent_path());
  live_.write(contents, real, false);
  check(::chmod(real.c_str(), mode), real, "chmod");
}

void RootedFileSystem::makeDirectory(const fs::path& path, std::uint32_t mode) {
  const fs::path real = realPath(path);
  fs::create_directories(real);
  check(::chmod(real.c_str(), mode), real, "chmod");
}

void RootedFileSystem::makeExecutable(const fs::path& path, const std::string& contents) {
  writeFile(path, contents, 0755);
}

void RootedFileSystem::makeSymlink(const fs::path& link, const fs::path& target) {
  const fs::path real = realPath(link);
  fs::create_directories(real.parent_path());
  const fs::path stored = target.is_absolute() ? realPath(target) : target;
  check(::symlink(stored.c_str(), real.c_str()), real, "symlink");
}

void RootedFileSystem::setModificationTime(const fs::path& path, std::chrono::system_clock::time_point when) {
  FileAttributes attributes;
  attributes.modificationDate = when;
  live_.setAttributes(attributes, realPath(path));
}

std::string RootedFileSystem::contents(const fs::path& path) const { return readData(path); }

std::map<std::string, RootedFileSystem::Item> RootedFileSystem::snapshot() const {
  std::map<std::string, Item> items;
  for (auto it = fs::recursive_directory_iterator(root_); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path real = it->path();
    struct stat info {};
    check(::lstat(real.c_str(), &info), real, "lstat");
    Item item;
    item.mode = static_cast<std::uint32_t>(info.st_mode & 07777);
    if (S_ISLNK(info.st_mode)) {
      item.type = FileType::symlink;
      item.contents = virtualPath(fs::read_symlink(real)).string();
    } else if (S_ISDIR(info.st_mode)) {
      item.type = FileType::directory;
    } else if (S_ISREG(info.st_mode)) {
      item.type = FileType::regular;
      item.contents = live_.readData(real);
    } else {
      item.type = FileType::other;
    }
    items.emplace(virtualPath(real).string(), std::move(item));
  }
  return items;
}

}  // namespace bnch::testing
