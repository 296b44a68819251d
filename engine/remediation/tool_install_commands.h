#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace bnch {

// The command lines the tool and language jobs run in a login shell, and the text
// rules around them. Every value pasted into a command goes through
// shellSingleQuote or shellDoubleQuoteEscape.

// --- Git identity -----------------------------------------------------------

// The global ignore file written when the person has none (no trailing newline;
// printf adds it).
inline constexpr std::string_view kGlobalGitIgnoreText =
    "# Created by Benchkit. Files you never want to commit, in any repo.\n"
    "# macOS\n"
    ".DS_Store\n"
    "._*\n"
    ".Spotlight-V100\n"
    ".Trashes\n"
    "# Editor swap / backup\n"
    "*.swp\n"
    "*.swo\n"
    "*~";

// The seven commands joined by " && ": name, e-mail, default branch main,
// push.autoSetupRemote, pull.rebase and fetch.prune only when unset, and the
// global ignore file only when missing. Nothing when the name or the e-mail is
// empty or only white space: git would store an empty identity and every commit
// would then fail with "empty ident name".
std::optional<std::string> gitIdentityCommand(std::string_view name, std::string_view email);

struct GitIdentityText {
  static constexpr std::string_view saving = "Saving your Git name and email…";
  static constexpr std::string_view saved = "Saved to ~/.gitconfig (+ ~/.config/git/ignore).";
  static constexpr std::string_view missing = "Git needs both your name and your email — nothing was changed.";
  // git drops line breaks from a name without a word, so "Ada\nLovelace" would sign
  // every commit as "AdaLovelace"; a break in an e-mail makes it unusable.
  static constexpr std::string_view lineBreak =
      "Your Git name and email must each fit on one line — nothing was changed.";
};

// --- mise languages ---------------------------------------------------------

struct MiseLanguage {
  std::string_view tool;    // "node@lts"
  std::string_view before;  // a command run first in the same shell, or empty

  // "mise use -g TOOL", after `before` and " && " when there is one, so a failure
  // of the first skips the install.
  std::string command() const;
  // "Running mise use -g TOOL…"
  std::string announcement() const;
};

inline constexpr MiseLanguage kNodeViaMise{"node@lts", ""};
inline constexpr MiseLanguage kRubyViaMise{"ruby@latest", "mise settings ruby.compile=false"};
inline constexpr MiseLanguage kRustViaMise{"rust", ""};

// zsh's exit code for a command it cannot find.
inline constexpr int kCommandNotFoundExitCode = 127;
inline constexpr std::string_view kMiseMissing = "Couldn't find mise on this Mac — install mise first, then try again.";

// --- rustup -----------------------------------------------------------------

// pipefail: without it a failed download pipes nothing into sh, which then exits 0 and
// the job would report an install that never happened.
inline constexpr std::string_view kRustupInstallCommand =
    "set -o pipefail; curl --proto '=https' --tlsv1.2 -sSf https://sh.rustup.rs | sh -s -- -y "
    "--no-modify-path";
inline constexpr std::string_view kRustupAnnouncement = "Installing rustup and the stable Rust toolchain…";

// --- skills fetched at a pinned commit --------------------------------------

// Clones the GitHub repository `owner/name` without file contents into the
// scratch folder and checks out only the pinned commit.
std::string skillFetchCommand(std::string_view repo, const std::filesystem::path& scratch, std::string_view pin);

// --- Claude Code auto-update ------------------------------------------------

struct ClaudeAutoUpdateText {
  static constexpr std::string_view line = "export CLAUDE_CODE_PACKAGE_MANAGER_AUTO_UPDATE=1";
  static constexpr std::string_view label = "Claude Code auto-update";
  static constexpr std::string_view key = "CLAUDE_CODE_PACKAGE_MANAGER_AUTO_UPDATE";
  static constexpr std::string_view alreadyEnabled = "Claude Code auto-update is already enabled in ~/.zprofile.";
  static constexpr std::string_view couldNotEnablePrefix = "Couldn't enable Claude Code auto-update: ";
  // "Enabled Claude Code auto-update in ~/.zprofile (backup at PATH)."
  static std::string enabled(const std::filesystem::path& backup);
};

// --- PATH repairs -----------------------------------------------------------

// `eval "$(BREW shellenv)"`
std::string homebrewShellenvLine(std::string_view brewPath);

// `export PATH="DIR:$PATH"` with the directory escaped for double quotes, so
// `$PATH` still expands and the directory stays literal.
std::string pathExportLine(std::string_view directory);

// --- Java download progress -------------------------------------------------

// "Downloaded 12.5 MB of 190.0 MB"; "Downloaded 3.0 MB" when the total is
// unknown or below one byte.
std::string javaDownloadProgressLine(std::uint64_t bytesReceived, std::optional<std::uint64_t> totalBytes);

// Picks which download reports become progress lines. The HTTP client reports every
// few kilobytes, which for a 200 MB JDK would put thousands of lines in the log; a
// line is shown for the first report, then after each further 1% of the total (1 MiB
// when the total is unknown, or when 1% is less), and for the last byte, never
// twice with the same text. finish(), when the download is over, gives the line of
// the last report when it was held back, so the log ends on the full size also
// when the total was unknown.
class JavaDownloadProgressLines {
 public:
  std::optional<std::string> next(std::uint64_t bytesReceived, std::optional<std::uint64_t> totalBytes);
  std::optional<std::string> finish();

 private:
  std::optional<std::string> show(std::string line);

  std::optional<std::uint64_t> lastShownBytes_;
  std::string lastLine_;
  std::string heldBack_;
};

}  // namespace bnch
