#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "engine/platform/file_system_operating.h"
#include "tests/support/byte_writer_file_system.h"
#include "tests/support/forwarding_file_system.h"

namespace bnch::testing {

// A real file system confined to a folder (usually a TempDir): every absolute
// path the code under test uses ("virtual" paths such as /opt/homebrew/bin/brew
// or /Users/alice/.zprofile) lives at root/<path>, and every path it hands back
// (home, Application Support, Caches) is virtual again. Errors name virtual paths.
// It runs the real LiveFileSystem code, so atomic writes, permissions and links
// behave exactly as on a disk.
//
// Paths: relative paths are taken from "/", and ".." never climbs above the root.
// Symbolic links: makeSymlink() stores an absolute target as root/<target>, so
// the kernel resolves it inside the root (a link /usr/local/bin/python3 ->
// /opt/homebrew/bin/python3 points at root/opt/homebrew/bin/python3); relative
// targets are stored as given. snapshot() reports link targets in virtual form.
class RootedFileSystem final : public ForwardingFileSystem {
 public:
  struct Options {
    std::filesystem::path home = "/Users/alice";  // created on construction
    ByteWriter writeBytes;                        // see ByteWriterFileSystem
  };

  explicit RootedFileSystem(std::filesystem::path root);
  RootedFileSystem(std::filesystem::path root, Options options);

  // --- Test helpers (virtual paths; missing parent folders are created) ---
  void writeFile(const std::filesystem::path& path, const std::string& contents, std::uint32_t mode = 0644);
  void makeDirectory(const std::filesystem::path& path, std::uint32_t mode = 0755);
  // A shell script (default: exits 0) with mode 0755.
  void makeExecutable(const std::filesystem::path& path, const std::string& contents = "#!/bin/sh\nexit 0\n");
  void makeSymlink(const std::filesystem::path& link, const std::filesystem::path& target);
  void setModificationTime(const std::filesystem::path& path, std::chrono::system_clock::time_point when);
  std::string contents(const std::filesystem::path& path) const;  // raw bytes; throws when missing

  // The real path of a virtual one, and back.
  std::filesystem::path realPath(const std::filesystem::path& path) const;
  std::filesystem::path virtualPath(const std::filesystem::path& real) const;
  const std::filesystem::path& root() const { return root_; }

  struct Item {
    FileType type = FileType::regular;
    std::string contents;  // file bytes, or the (virtual) link target; empty for folders
    std::uint32_t mode = 0;

    bool operator==(const Item&) const = default;
  };
  // Every item under the root by virtual path (links not followed), for
  // byte-identical before/after comparisons.
  std::map<std::string, Item> snapshot() const;

 protected:
  std::filesystem::path inward(const std::filesystem::path& path) const override { return realPath(path); }
  std::filesystem::path outward(const std::filesystem::path& path) const override { return virtualPath(path); }
  // Names the virtual path, and the root folder in the description as "/".
  FileSystemError outwardError(const FileSystemError& error) const override;

 private:
  std::filesystem::path root_;
  std::shared_ptr<ByteWriterFileSystem> live_;
};

}  // namespace bnch::testing
