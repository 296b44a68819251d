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

RootedFileSystem::RootedFileSystem(fs::path root, Options options) : root_(fs::weakly_canonical(root)) {
  const fs::path home = realPath(fs::path("/") / options.home.relative_path());
  live_ = std::make_shared<ByteWriterFileSystem>(LiveFileSystemOptions{.homeDirectory = home},
                                                 std::move(options.writeBytes));
  setInner(live_);
  fs::create_directories(root_);
  fs::create_directories(home);
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

FileSystemError RootedFileSystem::outwardError(const FileSystemError& error) const {
  // Descriptions name items and their folder; the root folder reads as "/".
  std::string text = error.description();
  const std::string rootName = "\u201C" + root_.filename().string() + "\u201D";
  for (auto at = text.find(rootName); at != std::string::npos; at = text.find(rootName, at + 1)) {
    text.replace(at, rootName.size(), "\u201C/\u201D");
  }
  return FileSystemError(error.code(), virtualPath(error.path()), text);
}

void RootedFileSystem::writeFile(const fs::path& path, const std::string& contents, std::uint32_t mode) {
  const fs::path real = realPath(path);
  fs::create_directories(real.parent_path());
  live_->write(contents, real, false);
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
  live_->setAttributes(attributes, realPath(path));
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
      item.contents = live_->readData(real);
    } else {
      item.type = FileType::other;
    }
    items.emplace(virtualPath(real).string(), std::move(item));
  }
  return items;
}

}  // namespace bnch::testing
