#include "engine/remediation/tool_install_commands.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "engine/platform/shell_quote.h"
#include "engine/platform/text.h"

namespace bnch {

std::optional<std::string> gitIdentityCommand(std::string_view name, std::string_view email) {
  if (trimmedText(name).empty() || trimmedText(email).empty()) return std::nullopt;
  const std::string parts[] = {
      "git config --global user.name " + shellSingleQuote(name),
      "git config --global user.email " + shellSingleQuote(email),
      "git config --global init.defaultBranch main",
      "git config --global push.autoSetupRemote true",
      "git config --global --get pull.rebase >/dev/null 2>&1 || git config --global pull.rebase "
      "false",
      "git config --global --get fetch.prune >/dev/null 2>&1 || git config --global fetch.prune "
      "true",
      "if [ ! -f \"$HOME/.config/git/ignore\" ]; then mkdir -p \"$HOME/.config/git\" && printf "
      "'%s\\n' " +
          shellSingleQuote(kGlobalGitIgnoreText) + " > \"$HOME/.config/git/ignore\"; fi",
  };
  std::string command;
  for (const std::string& part : parts) {
    if (!command.empty()) command += " && ";
    command += part;
  }
  return command;
}

std::string MiseLanguage::command() const {
  const std::string use = "mise use -g " + std::string(tool);
  return before.empty() ? use : std::string(before) + " && " + use;
}

std::string MiseLanguage::announcement() const { return "Running mise use -g " + std::string(tool) + "…"; }

std::string skillFetchCommand(std::string_view repo, const std::filesystem::path& scratch, std::string_view pin) {
  const std::string folder = shellSingleQuote(scratch.string());
  return "git clone --filter=blob:none --no-checkout " + shellSingleQuote("https://github.com/" + std::string(repo)) +
         " " + folder + " && git -C " + folder + " checkout " + shellSingleQuote(pin);
}

std::string ClaudeAutoUpdateText::enabled(const std::filesystem::path& backup) {
  return "Enabled Claude Code auto-update in ~/.zprofile (backup at " + backup.string() + ").";
}

std::string homebrewShellenvLine(std::string_view brewPath) {
  return "eval \"$(" + std::string(brewPath) + " shellenv)\"";
}

std::string pathExportLine(std::string_view directory) {
  return "export PATH=\"" + shellDoubleQuoteEscape(directory) + ":$PATH\"";
}

std::string javaDownloadProgressLine(std::uint64_t bytesReceived, std::optional<std::uint64_t> totalBytes) {
  constexpr double kMegabyte = 1048576.0;
  char line[96];
  if (totalBytes && *totalBytes >= 1) {
    std::snprintf(line, sizeof line, "Downloaded %.1f MB of %.1f MB", static_cast<double>(bytesReceived) / kMegabyte,
                  static_cast<double>(*totalBytes) / kMegabyte);
  } else {
    std::snprintf(line, sizeof line, "Downloaded %.1f MB", static_cast<double>(bytesReceived) / kMegabyte);
  }
  return line;
}

std::optional<std::string> JavaDownloadProgressLines::next(std::uint64_t bytesReceived,
                                                           std::optional<std::uint64_t> totalBytes) {
  constexpr std::uint64_t kMebibyte = 1048576;
  if (totalBytes && *totalBytes < 1) totalBytes.reset();
  const std::uint64_t step = std::max(kMebibyte, totalBytes ? *totalBytes / 100 : 0);
  const bool finished = totalBytes && bytesReceived >= *totalBytes;
  std::string line = javaDownloadProgressLine(bytesReceived, totalBytes);
  if (lastShownBytes_ && !finished && bytesReceived < *lastShownBytes_ + step) {
    heldBack_ = std::move(line);
    return std::nullopt;
  }
  lastShownBytes_ = bytesReceived;
  return show(std::move(line));
}

std::optional<std::string> JavaDownloadProgressLines::finish() { return show(std::exchange(heldBack_, {})); }

std::optional<std::string> JavaDownloadProgressLines::show(std::string line) {
  heldBack_.clear();
  if (line.empty() || line == lastLine_) return std::nullopt;
  lastLine_ = line;
  return line;
}

}  // namespace bnch
