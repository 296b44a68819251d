#include "engine/probes/probe_files.h"

#include <exception>

#include "engine/probes/probe_text.h"

namespace bnch {

bool ProbeFiles::exists(const FileSystemOperating& fs, const std::filesystem::path& path) {
  try {
    return fs.fileExists(path);
  } catch (const std::exception&) {
    return false;
  }
}

bool ProbeFiles::isFolder(const FileSystemOperating& fs, const std::filesystem::path& path) {
  try {
    return fs.directoryExists(path);
  } catch (const std::exception&) {
    return false;
  }
}

bool ProbeFiles::isFile(const FileSystemOperating& fs, const std::filesystem::path& path) {
  return exists(fs, path) && !isFolder(fs, path);
}

std::vector<std::string> ProbeFiles::existingPathLines(const FileSystemOperating& fs, std::string_view text) {
  std::vector<std::string> paths;
  for (const auto& line : ProbeText::nonEmptyLines(text)) {
    std::string path = ProbeText::trimSpacesAndTabs(line);
    if (path.starts_with("/") && ProbeText::isFaithful(path) && isFile(fs, path)) paths.push_back(std::move(path));
  }
  return paths;
}

bool ProbeFiles::isExecutableFile(const FileSystemOperating& fs, const std::filesystem::path& path) {
  try {
    return fs.isExecutableFile(path);
  } catch (const std::exception&) {
    return false;
  }
}

std::vector<std::string> ProbeFiles::entries(const FileSystemOperating& fs, const std::filesystem::path& path) {
  try {
    return fs.contentsOfDirectory(path);
  } catch (const std::exception&) {
    return {};
  }
}

std::vector<std::string> ProbeFiles::visibleNames(const FileSystemOperating& fs, const std::filesystem::path& path) {
  std::vector<std::string> names;
  for (auto& name : entries(fs, path)) {
    if (!name.starts_with(".")) names.push_back(std::move(name));
  }
  return names;
}

bool ProbeFiles::hasEntries(const FileSystemOperating& fs, const std::filesystem::path& path) {
  return !entries(fs, path).empty();
}

std::optional<std::string> ProbeFiles::readText(const FileSystemOperating& fs, const std::filesystem::path& path) {
  try {
    return fs.readString(path);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> ProbeFiles::readBytes(const FileSystemOperating& fs, const std::filesystem::path& path) {
  try {
    return fs.readData(path);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace bnch
