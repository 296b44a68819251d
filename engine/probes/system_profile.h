#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bnch {

enum class Architecture { appleSilicon, intel, unknown };

// The login shell named by SHELL.
struct Shell {
  enum class Kind { zsh, bash, fish, other };
  Kind kind = Kind::other;
  std::string name = "unknown";  // the program name for `other`

  static Shell zsh() { return {Kind::zsh, "zsh"}; }
  static Shell bash() { return {Kind::bash, "bash"}; }
  static Shell fish() { return {Kind::fish, "fish"}; }
  static Shell other(std::string name) { return {Kind::other, std::move(name)}; }

  bool operator==(const Shell&) const = default;
};

struct OperatingSystemVersion {
  int major = 0;
  int minor = 0;
  int patch = 0;

  bool operator==(const OperatingSystemVersion&) const = default;
};

struct AITooling {
  bool claudeCodeDesktop = false;
  bool cursor = false;
  bool chatgptDesktop = false;
  bool vsCode = false;
  bool windsurf = false;
  bool kiro = false;
  bool antigravity = false;
  bool zed = false;
  bool replit = false;
  bool warpApp = false;
  bool intellij = false;
  bool claudeCodeCLI = false;
  bool codexCLI = false;
  bool aider = false;
  std::vector<std::string> claudeCliLocations;
  std::vector<std::string> codexCliLocations;

  bool operator==(const AITooling&) const = default;
};

struct Terminals {
  bool iterm = false;
  bool ghostty = false;
  bool warp = false;
  bool hyper = false;
  bool alacritty = false;
  bool kitty = false;
  bool wezterm = false;

  bool operator==(const Terminals&) const = default;
};

struct MarkdownEditors {
  bool zettlr = false;
  bool obsidian = false;

  bool operator==(const MarkdownEditors&) const = default;
};

struct JDKInfo {
  std::string version;
  std::string vendor;
  std::string architecture;
  std::string path;  // the JDK's home folder

  bool operator==(const JDKInfo&) const = default;
};

// The Java state gathered on every profile.
struct ProbeBundle {
  std::optional<std::string> whichJava;
  std::vector<JDKInfo> installedJDKs;
  std::vector<std::string> jvmDirContents;
  std::optional<std::string> javaHomeInActiveShell;

  bool operator==(const ProbeBundle&) const = default;
};

// A snapshot of the Mac. Paths are absolute file-system paths.
struct SystemProfile {
  Architecture architecture = Architecture::unknown;
  OperatingSystemVersion macosVersion;
  Shell shell;
  std::optional<std::string> homebrewPrefix;  // the brew executable's path
  std::optional<std::string> sdkmanRoot;
  std::optional<std::string> miseExecutable;
  std::optional<std::string> jenvRoot;
  std::optional<std::string> asdfRoot;
  std::optional<std::string> xcodeCommandLineToolsPath;
  ProbeBundle javaState;
  AITooling aiTooling;
  Terminals terminals;
  MarkdownEditors markdownEditors;
  bool isAdministrator = true;

  bool operator==(const SystemProfile&) const = default;
};

}  // namespace bnch
