#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/platform/file_system_operating.h"

namespace bnch {

// File checks as the probes use them: every failure (a missing item, a folder
// that cannot be read, a file that is not UTF-8) gives the empty answer instead
// of throwing. Safe from any thread when the file system is.
struct ProbeFiles {
  static bool exists(const FileSystemOperating& fs, const std::filesystem::path& path);
  static bool isFolder(const FileSystemOperating& fs, const std::filesystem::path& path);
  // Exists and is not a folder.
  static bool isFile(const FileSystemOperating& fs, const std::filesystem::path& path);
  static bool isExecutableFile(const FileSystemOperating& fs, const std::filesystem::path& path);
  // Entry names in the file system's order; nothing when the folder cannot be read.
  static std::vector<std::string> entries(const FileSystemOperating& fs, const std::filesystem::path& path);
  // Entry names without those beginning with ".".
  static std::vector<std::string> visibleNames(const FileSystemOperating& fs, const std::filesystem::path& path);
  // True when the folder can be listed and holds at least one entry.
  static bool hasEntries(const FileSystemOperating& fs, const std::filesystem::path& path);
  // The lines of a `which`-style answer that name existing files: each line
  // trimmed of spaces and tabs, kept when it starts with "/", is faithful text
  // and is a file (start-up files may print anything; an alias is no file).
  static std::vector<std::string> existingPathLines(const FileSystemOperating& fs, std::string_view text);
  static std::optional<std::string> readText(const FileSystemOperating& fs, const std::filesystem::path& path);
  static std::optional<std::string> readBytes(const FileSystemOperating& fs, const std::filesystem::path& path);
};

}  // namespace bnch
