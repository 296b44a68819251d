#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "engine/platform/file_system_operating.h"

namespace bnch {

// Every way the engine calls Homebrew: the executables it looks for, the command
// lines it runs and the formula and cask names it installs. Callers build their
// requests from these values and nowhere else. Pure values; thread-safe.
struct HomebrewContract {
  // The two places `brew` lives, in the order they are tried (Apple silicon first).
  static constexpr std::string_view appleSiliconBrew = "/opt/homebrew/bin/brew";
  static constexpr std::string_view intelBrew = "/usr/local/bin/brew";
  static constexpr std::array<std::string_view, 2> brewLocations{appleSiliconBrew, intelBrew};
  static constexpr std::array<std::string_view, 2> binFolders{"/opt/homebrew/bin", "/usr/local/bin"};

  // Run in a login shell: one absolute path per line for each brew the shell sees.
  static constexpr std::string_view whichAllBrewCommand = "/usr/bin/which -a brew";
  // Run in a login shell: exit code 0 when the user's shell can run brew.
  static constexpr std::string_view versionCommand = "brew --version 2>&1";
  static constexpr std::string_view updateCommand = "brew update";
  static constexpr int updateTimeLimitSeconds = 180;
  // The official install script is run as `/bin/bash -c <script>` (NONINTERACTIVE=1).
  static constexpr std::string_view installScriptShell = "/bin/bash";
  // Evaluated by the user's login shell from ~/.zprofile: puts brew and its tools on PATH.
  static constexpr std::string_view shellenvCommand = "brew shellenv";
  // Evaluated by the user's interactive shell from ~/.zshrc: the folder holding completions.
  static constexpr std::string_view prefixCommand = "brew --prefix";

  // Environment the install commands run with.
  static constexpr std::string_view noAutoUpdateVariable = "HOMEBREW_NO_AUTO_UPDATE";
  static constexpr std::string_view nonInteractiveVariable = "NONINTERACTIVE";
  static constexpr std::string_view askpassVariable = "SUDO_ASKPASS";

  // Under the home folder: the local package index whose age tells when brew last updated.
  static constexpr std::string_view formulaIndexRelativePath = "Library/Caches/Homebrew/api/formula.jws.json";
  // Under `brew --prefix`: where completions live.
  static constexpr std::string_view completionsRelativePath = "share/zsh/site-functions";

  struct Formula {
    static constexpr std::string_view uv = "uv";
    static constexpr std::string_view mise = "mise";
    static constexpr std::string_view gh = "gh";
  };
  struct Cask {
    static constexpr std::string_view warp = "warp";
    static constexpr std::string_view claude = "claude";
    static constexpr std::string_view claudeCode = "claude-code@latest";
    static constexpr std::string_view zed = "zed";
    static constexpr std::string_view visualStudioCode = "visual-studio-code";
    static constexpr std::string_view zettlr = "zettlr";
    static constexpr std::string_view obsidian = "obsidian";
    static constexpr std::string_view codex = "codex";
    static constexpr std::string_view chatgpt = "chatgpt";
    static constexpr std::string_view temurin = "temurin";
    static constexpr std::string_view temurin21 = "temurin@21";
    static constexpr std::string_view temurin17 = "temurin@17";
  };

  // The brew used everywhere: the first of brewLocations that is an executable file.
  static std::optional<std::string> findBrew(const FileSystemOperating& fs);

  // "brew install <formula>" (run with HOMEBREW_NO_AUTO_UPDATE=1).
  static std::string installFormulaCommand(std::string_view formula);
  // "brew install --cask [--force] <cask>".
  static std::string installCaskCommand(std::string_view cask, bool force);
  // "brew reinstall --cask <cask>".
  static std::string reinstallCaskCommand(std::string_view cask);
};

}  // namespace bnch
