#include "engine/probes/shell_setup.h"

#include <optional>
#include <string>

#include "engine/platform/text.h"

namespace bnch::shell_setup {
namespace fs = std::filesystem;

namespace {

// Calls `visit` with each trimmed line of `text` that is not blank and not a
// comment, until it returns true.
template <typename Visit>
bool anyActiveLine(std::string_view text, Visit&& visit) {
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view content = trimmedOf(text.substr(start, end - start), " \t\r");
    if (!content.empty() && content.front() != '#' && visit(content)) return true;
    start = end + 1;
  }
  return false;
}

std::optional<std::string> readIfPossible(const FileSystemOperating& fs, const fs::path& path) {
  try {
    if (!fs.fileExists(path)) return std::nullopt;
    return fs.readData(path);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

bool activeLineContains(std::string_view text, std::string_view key) {
  return anyActiveLine(text, [&](std::string_view line) { return line.find(key) != std::string_view::npos; });
}

bool activeLineStartsWith(std::string_view text, std::string_view prefix) {
  return anyActiveLine(text, [&](std::string_view line) { return line.starts_with(prefix); });
}

bool isConfigured(const FileSystemOperating& fs) {
  try {
    const fs::path home = fs.homeDirectory();
    const auto zprofile = readIfPossible(fs, home / ".zprofile");
    if (!zprofile || !activeLineContains(*zprofile, zprofileKey)) return false;
    const auto zshrc = readIfPossible(fs, home / ".zshrc");
    if (!zshrc || !activeLineContains(*zshrc, zshrcKey)) return false;
    return fs.fileExists(home / ".env");
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace bnch::shell_setup
