#include "engine/remediation/user_file.h"

namespace bnch::user_file {
namespace fs = std::filesystem;

std::string describe(const std::exception& error) {
  if (const auto* fileError = dynamic_cast<const FileSystemError*>(&error)) return fileError->description();
  return error.what();
}

std::string displayPath(const fs::path& path, const fs::path& home) {
  const std::string text = path.string();
  std::string prefix = home.string();
  while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
  if (prefix.empty() || prefix == "/") return text;
  if (text == prefix) return "~";
  if (text.size() > prefix.size() && text.compare(0, prefix.size(), prefix) == 0 && text[prefix.size()] == '/') {
    return "~" + text.substr(prefix.size());
  }
  return text;
}

std::optional<std::string> readExisting(const FileSystemOperating& fs, const fs::path& path) {
  if (!fs.fileExists(path)) return std::nullopt;
  return fs.readData(path);
}

void writeBackup(FileSystemOperating& fs, const std::string& bytes, const fs::path& original, const fs::path& backup) {
  std::uint32_t permissions = 0600;  // for a link or a file that is gone: owner-only
  if (fs.fileExists(original)) {
    const FileAttributes attributes = fs.attributesOfItem(original);
    if (attributes.type == FileType::regular && attributes.posixPermissions) {
      permissions = *attributes.posixPermissions & 0600;
    }
  }
  fs.writeData(bytes, backup, permissions);
}

std::string_view blockSeparator(std::string_view existing) {
  if (existing.empty()) return "";
  return existing.back() == '\n' ? "\n" : "\n\n";
}

}  // namespace bnch::user_file
