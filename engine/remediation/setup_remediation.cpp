#include "engine/remediation/setup_remediation.h"

#include <array>
#include <cstddef>
#include <string_view>
#include <type_traits>
#include <vector>

namespace bnch {

namespace {

using Kind = SetupRemediation::Kind;

// Every word of the catalogue the user sees lives in this file, one row per
// remediation: adding one means adding its row to `kCatalogue`.

// A catalogue text: fixed, or made from the remediation's payload.
class Text {
 public:
  using Maker = std::string (*)(const SetupRemediation&);

  // Implicit, so that a row reads as its text.
  constexpr Text(const char* fixed) : fixed_(fixed) {}
  template <typename Lambda>
  requires std::is_convertible_v<Lambda, Maker>
  constexpr Text(Lambda made) : made_(made) {}

  std::string operator()(const SetupRemediation& remediation) const {
    return made_ != nullptr ? made_(remediation) : std::string(fixed_);
  }

 private:
  std::string_view fixed_;
  Maker made_ = nullptr;
};

// The check run after a reported success, in a form a constant table can hold.
struct Check {
  PostInstallCheck::Kind kind = PostInstallCheck::Kind::none;
  // appBundle, executable: any of these; command: the name; directoryPrefixed: parent, prefix.
  std::array<std::string_view, 3> names{};

  PostInstallCheck make() const {
    switch (kind) {
      case PostInstallCheck::Kind::appBundle:
        return PostInstallCheck::appBundle(present());
      case PostInstallCheck::Kind::executable:
        return PostInstallCheck::executable(present());
      case PostInstallCheck::Kind::command:
        return PostInstallCheck::commandNamed(std::string(names[0]));
      case PostInstallCheck::Kind::directoryPrefixed:
        return PostInstallCheck::directoryPrefixed(std::string(names[0]), std::string(names[1]));
      case PostInstallCheck::Kind::none:
        break;
    }
    return PostInstallCheck::none();
  }

 private:
  std::vector<std::string> present() const {
    std::vector<std::string> all;
    for (std::string_view name : names) {
      if (!name.empty()) all.emplace_back(name);
    }
    return all;
  }
};

template <typename... Names>
constexpr Check appBundle(Names... names) {
  return {PostInstallCheck::Kind::appBundle, {names...}};
}
template <typename... Paths>
constexpr Check executable(Paths... paths) {
  return {PostInstallCheck::Kind::executable, {paths...}};
}
constexpr Check command(const char* name) { return {PostInstallCheck::Kind::command, {name}}; }
constexpr Check kTemurinFolder{PostInstallCheck::Kind::directoryPrefixed,
                               {"/Library/Java/JavaVirtualMachines", "temurin-"}};
constexpr Check kNoCheck{};

struct Facts {
  Kind kind;
  Text id;
  Text title;
  Text detail;              // shown before approval
  std::string_view method;  // telemetry method name
  Check check;
};

// The label of a folder put on PATH, as it appears in the identifier.
std::string_view directoryLabel(std::string_view directory) {
  if (directory == "/opt/homebrew/bin" || directory == "/usr/local/bin") return "brew-bin";
  if (directory.ends_with("/.local/bin")) return "local-bin";
  if (directory.ends_with("/.claude/local")) return "claude-local";
  return "other";
}

struct ProjectFacts {
  ProjectTemplate projectTemplate;
  std::string_view id;
  std::string_view title;
  std::string_view detail;  // always names ~/Documents, whatever the chosen destination
};

constexpr std::array kProjects{
    ProjectFacts{ProjectTemplate::simple, "example:simple", "Create the example project",
                 "We'll copy a ready-to-use sample project into ~/Documents/AI-Simple-Project \u2014 a folder to open "
                 "with Claude, with notes to try and CLAUDE.md / AGENTS.md guidance."},
    ProjectFacts{ProjectTemplate::coding, "example:coding", "Create the coding project",
                 "We'll copy a spec-driven coding project into ~/Documents/AI-Coding-Project \u2014 a worked scaffold "
                 "that teaches sustainable AI-assisted development."},
    ProjectFacts{ProjectTemplate::python, "example:python", "Create the project",
                 "We'll copy a small Python project into ~/Documents/Python-Example-Project \u2014 it runs with `uv "
                 "run` and shows how to add a package."},
};

const ProjectFacts& projectFacts(ProjectTemplate projectTemplate) {
  for (const ProjectFacts& facts : kProjects) {
    if (facts.projectTemplate == projectTemplate) return facts;
  }
  return kProjects.front();
}

std::string skillName(const SetupRemediation& r) { return r.skill ? r.skill->displayName : std::string(); }
std::string serverName(const SetupRemediation& r) { return r.server ? r.server->displayName : std::string(); }

constexpr std::array kCatalogue{
    Facts{Kind::repairPath,
          [](const SetupRemediation& r) { return "path-repair:" + std::string(directoryLabel(r.directory)); },
          "Fix your PATH so `claude` is found",
          [](const SetupRemediation& r) {
            return "We'll add `" + r.directory +
                   "` to your PATH in `~/.zprofile` (after backing it up to `~/.zprofile.bak`) so your shell can "
                   "find `claude`.";
          },
          "zprofile_write", kNoCheck},
    Facts{Kind::installUv, "brew:uv", "Install Python (uv)",
          "We'll install uv (Astral's installer), use it to install Python, and add uv's `~/.local/bin` to your "
          "PATH.",
          "brew", executable("/opt/homebrew/bin/uv", "/usr/local/bin/uv", "~/.local/bin/uv")},
    Facts{Kind::createProject,
          [](const SetupRemediation& r) { return std::string(projectFacts(r.projectTemplate).id); },
          [](const SetupRemediation& r) { return std::string(projectFacts(r.projectTemplate).title); },
          [](const SetupRemediation& r) { return std::string(projectFacts(r.projectTemplate).detail); },
          "template_copy", kNoCheck},
    Facts{Kind::installSkill,
          [](const SetupRemediation& r) { return "skill:" + (r.skill ? r.skill->slug : std::string()); },
          [](const SetupRemediation& r) { return "Add " + skillName(r); },
          [](const SetupRemediation& r) {
            return "We'll add the " + skillName(r) + " skill to your AI agents \u2014 " +
                   (r.skill ? r.skill->badge : std::string()) + ".";
          },
          "skill_install", kNoCheck},
    Facts{Kind::addMCPServer,
          [](const SetupRemediation& r) { return "mcp:" + (r.server ? r.server->slug : std::string()); },
          [](const SetupRemediation& r) { return "Add " + serverName(r); },
          [](const SetupRemediation& r) {
            if (r.server && r.server->connection.kind == MCPServer::Connection::Kind::oauth) {
              return "We'll add the " + serverName(r) +
                     " MCP server to your AI agents, then you sign in inside Claude or Codex to finish.";
            }
            return "We'll add the " + serverName(r) + " MCP server to your AI agents.";
          },
          "mcp_add", kNoCheck},
    Facts{Kind::configureGit, "git:config", "Save your Git name and email",
          "We'll set your name and email with `git config --global`, add a few sensible defaults, and create a "
          "global ignore file so junk like `.DS_Store` never gets committed.",
          "git_config", kNoCheck},
    Facts{Kind::installCommandLineTools, "clt", "Install Command Line Tools", "", "softwareupdate", kNoCheck},
    Facts{Kind::installHomebrew, "homebrew", "Install Homebrew (recommended)",
          "We'll run the official Homebrew install script. macOS will prompt for your password (three times, as "
          "needed).",
          "homebrew", kNoCheck},
    Facts{Kind::installClaudeCLI, "brew:claude-code@latest", "Install Claude Code CLI (recommended)",
          "We'll run `brew install --cask claude-code@latest` so Claude Code stays updatable under Homebrew, then "
          "verify `claude --version` runs.",
          "brew", command("claude")},
    Facts{Kind::repairHomebrewPath, "path-repair:homebrew", "Fix your PATH so `brew` is found",
          "We'll add Homebrew to your PATH in `~/.zprofile` (after backing it up to `~/.zprofile.bak`) so your "
          "shell can find `brew`, then re-check in a fresh shell.",
          "zprofile_write", kNoCheck},
    Facts{Kind::installWarp, "brew:warp", "Install Warp (recommended)",
          "We'll install Warp via Homebrew \u2014 the modern, AI-assisted macOS terminal we recommend.", "brew",
          appBundle("Warp.app")},
    Facts{Kind::installClaudeDesktop, "brew:claude", "Install Claude Desktop (recommended)",
          "We'll run `brew install --cask claude` to install the Claude desktop app, then confirm it's present.",
          "brew", appBundle("Claude.app")},
    Facts{Kind::installZed, "brew:zed", "Install Zed",
          "We'll run `brew install --cask zed` to install Zed, a native and fast editor.", "brew",
          appBundle("Zed.app")},
    Facts{Kind::installVSCode, "brew:visual-studio-code", "Install VS Code",
          "We'll run `brew install --cask visual-studio-code` to install Visual Studio Code.", "brew",
          appBundle("Visual Studio Code.app")},
    Facts{Kind::installZettlr, "brew:zettlr", "Install Zettlr", "free WYSIWYG editor", "brew", appBundle("Zettlr.app")},
    Facts{Kind::installObsidian, "brew:obsidian", "Install Obsidian", "PKM free for personal use", "brew",
          appBundle("Obsidian.app")},
    Facts{Kind::installCodexCLI, "brew:codex", "Install Codex CLI",
          "We'll run `brew install --cask codex` to install the Codex CLI in your terminal.", "brew", command("codex")},
    Facts{Kind::installChatGPTDesktop, "brew:chatgpt", "Install ChatGPT Desktop",
          "We'll run `brew install --cask chatgpt` to install the ChatGPT desktop app, which has OpenAI's Codex "
          "coding agent built in.",
          "brew", appBundle("ChatGPT.app", "Codex.app")},
    Facts{Kind::configureShell, "shell-config", "Set up my shell",
          "We'll set up `~/.zprofile` (PATH), `~/.zshrc` (aliases and completions), and `~/.env` (API keys). Each "
          "file is backed up first, and nothing is overwritten.",
          "shell_config", kNoCheck},
    Facts{Kind::installMise, "brew:mise", "Install mise (version manager)",
          "We'll install mise with Homebrew to manage Node and Ruby versions, and activate it in your shell.", "brew",
          executable("/opt/homebrew/bin/mise", "/usr/local/bin/mise")},
    Facts{Kind::installNodeViaMise, "mise:node@lts", "Install Node (via mise)",
          "We'll run `mise use -g node@lts` to install the latest LTS Node.", "mise",
          executable("~/.local/share/mise/shims/node")},
    Facts{Kind::installRubyViaMise, "mise:ruby@latest", "Install Ruby (via mise)",
          "We'll run `mise use -g ruby@latest` to install the latest Ruby.", "mise",
          executable("~/.local/share/mise/shims/ruby")},
    Facts{Kind::installRustViaMise, "mise:rust", "Install Rust (via mise)",
          "We'll run `mise use -g rust` to install Rust. mise uses rustup underneath, so cargo and rustc resolve "
          "through mise.",
          "mise", executable("~/.local/share/mise/shims/cargo")},
    Facts{Kind::installRustup, "rustup", "Install Rust (rustup)",
          "We'll install rustup (Rust's official installer) and the stable toolchain, and add `~/.cargo/bin` to "
          "your PATH.",
          "rustup", executable("~/.cargo/bin/cargo")},
    Facts{Kind::installTemurin, "brew:temurin", "Install Java (Temurin)",
          "We'll install the Temurin JDK with Homebrew (`temurin` cask) and set JAVA_HOME.", "brew", kTemurinFolder},
    Facts{Kind::setJavaHome, "java-home", "Set JAVA_HOME",
          "Java is already installed on this Mac. We'll add one line to `~/.zprofile` so build tools can find it, "
          "and back the file up first. Nothing is downloaded.",
          "zprofile_write", kNoCheck},
    Facts{Kind::installTemurinPackage, "pkg:latest", "Install Java (Temurin)",
          "We'll download the latest Temurin installer from Adoptium, verify its checksum, and ask macOS for "
          "permission to install it. No other software is needed.",
          "pkg", kTemurinFolder},
    Facts{Kind::documentEnvironment, "env-doc", "Document the setup for your AI agent", "", "env_doc", kNoCheck},
    Facts{Kind::installGh, "brew:gh", "Install the GitHub CLI",
          "We'll run `brew install gh` to install the GitHub CLI.", "brew", command("gh")},
    Facts{Kind::githubAuth, "git:gh-auth", "Sign in to GitHub",
          "We'll open GitHub sign-in in your browser, then set up Git so pushes don't ask for a password. We never "
          "see your GitHub password.",
          "gh_auth", kNoCheck},
};

// Rows are in the order of `Kind`, one for each, so a lookup is an index.
constexpr bool inKindOrder() {
  for (std::size_t i = 0; i < kCatalogue.size(); ++i) {
    if (static_cast<std::size_t>(kCatalogue[i].kind) != i) return false;
  }
  return static_cast<std::size_t>(Kind::githubAuth) + 1 == kCatalogue.size();
}
static_assert(inKindOrder(), "the catalogue has one row per Kind, in the order of Kind");

const Facts& factsOf(Kind kind) { return kCatalogue.at(static_cast<std::size_t>(kind)); }

}  // namespace

std::string SetupRemediation::id() const { return factsOf(kind).id(*this); }
std::string SetupRemediation::title() const { return factsOf(kind).title(*this); }
std::string SetupRemediation::detail() const { return factsOf(kind).detail(*this); }
std::string SetupRemediation::method() const { return std::string(factsOf(kind).method); }
PostInstallCheck SetupRemediation::postInstallCheck() const { return factsOf(kind).check.make(); }

}  // namespace bnch
