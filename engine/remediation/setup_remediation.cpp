#include "engine/remediation/setup_remediation.h"

#include <string_view>

namespace bnch {

namespace {

using Kind = SetupRemediation::Kind;

// Every word of the catalogue the user sees lives in this file.

// "brew install --cask <token>" in the explanation of a cask install.
std::string caskSentence(std::string_view token, std::string_view rest) {
  return "We'll run `brew install --cask " + std::string(token) + "` " + std::string(rest);
}

std::string miseSentence(std::string_view tool, std::string_view rest) {
  return "We'll run `mise use -g " + std::string(tool) + "` " + std::string(rest);
}

// The label of a folder put on PATH, as it appears in the identifier.
std::string_view directoryLabel(std::string_view directory) {
  if (directory == "/opt/homebrew/bin" || directory == "/usr/local/bin") return "brew-bin";
  if (directory.ends_with("/.local/bin")) return "local-bin";
  if (directory.ends_with("/.claude/local")) return "claude-local";
  return "other";
}

std::string_view projectID(ProjectTemplate projectTemplate) {
  switch (projectTemplate) {
    case ProjectTemplate::simple:
      return "example:simple";
    case ProjectTemplate::coding:
      return "example:coding";
    case ProjectTemplate::python:
      return "example:python";
  }
  return "example:simple";
}

std::string_view projectTitle(ProjectTemplate projectTemplate) {
  switch (projectTemplate) {
    case ProjectTemplate::simple:
      return "Create the example project";
    case ProjectTemplate::coding:
      return "Create the coding project";
    case ProjectTemplate::python:
      return "Create the project";
  }
  return "Create the example project";
}

std::string_view projectDetail(ProjectTemplate projectTemplate) {
  switch (projectTemplate) {
    case ProjectTemplate::simple:
      return "We'll copy a ready-to-use sample project into ~/Documents/AI-Simple-Project \u2014 a folder to open with "
             "Claude, with notes to try and CLAUDE.md / AGENTS.md guidance.";
    case ProjectTemplate::coding:
      return "We'll copy a spec-driven coding project into ~/Documents/AI-Coding-Project \u2014 a worked scaffold "
             "that teaches sustainable AI-assisted development.";
    case ProjectTemplate::python:
      return "We'll copy a small Python project into ~/Documents/Python-Example-Project \u2014 it runs with `uv run` "
             "and shows how to add a package.";
  }
  return {};
}

constexpr std::string_view kTemurinParent = "/Library/Java/JavaVirtualMachines";

}  // namespace

std::string SetupRemediation::id() const {
  switch (kind) {
    case Kind::repairPath:
      return "path-repair:" + std::string(directoryLabel(directory));
    case Kind::installUv:
      return "brew:uv";
    case Kind::createProject:
      return std::string(projectID(projectTemplate));
    case Kind::installSkill:
      return "skill:" + (skill ? skill->slug : std::string());
    case Kind::addMCPServer:
      return "mcp:" + (server ? server->slug : std::string());
    case Kind::configureGit:
      return "git:config";
    case Kind::installCommandLineTools:
      return "clt";
    case Kind::installHomebrew:
      return "homebrew";
    case Kind::installClaudeCLI:
      return "brew:claude-code@latest";
    case Kind::repairHomebrewPath:
      return "path-repair:homebrew";
    case Kind::installWarp:
      return "brew:warp";
    case Kind::installClaudeDesktop:
      return "brew:claude";
    case Kind::installZed:
      return "brew:zed";
    case Kind::installVSCode:
      return "brew:visual-studio-code";
    case Kind::installZettlr:
      return "brew:zettlr";
    case Kind::installObsidian:
      return "brew:obsidian";
    case Kind::installCodexCLI:
      return "brew:codex";
    case Kind::installChatGPTDesktop:
      return "brew:chatgpt";
    case Kind::configureShell:
      return "shell-config";
    case Kind::installMise:
      return "brew:mise";
    case Kind::installNodeViaMise:
      return "mise:node@lts";
    case Kind::installRubyViaMise:
      return "mise:ruby@latest";
    case Kind::installRustViaMise:
      return "mise:rust";
    case Kind::installRustup:
      return "rustup";
    case Kind::installTemurin:
      return "brew:temurin";
    case Kind::setJavaHome:
      return "java-home";
    case Kind::installTemurinPackage:
      return "pkg:latest";
    case Kind::documentEnvironment:
      return "env-doc";
    case Kind::installGh:
      return "brew:gh";
    case Kind::githubAuth:
      return "git:gh-auth";
  }
  return {};
}

std::string SetupRemediation::title() const {
  switch (kind) {
    case Kind::repairPath:
      return "Fix your PATH so `claude` is found";
    case Kind::installUv:
      return "Install Python (uv)";
    case Kind::createProject:
      return std::string(projectTitle(projectTemplate));
    case Kind::installSkill:
      return "Add " + (skill ? skill->displayName : std::string());
    case Kind::addMCPServer:
      return "Add " + (server ? server->displayName : std::string());
    case Kind::configureGit:
      return "Save your Git name and email";
    case Kind::installCommandLineTools:
      return "Install Command Line Tools";
    case Kind::installHomebrew:
      return "Install Homebrew (recommended)";
    case Kind::installClaudeCLI:
      return "Install Claude Code CLI (recommended)";
    case Kind::repairHomebrewPath:
      return "Fix your PATH so `brew` is found";
    case Kind::installWarp:
      return "Install Warp (recommended)";
    case Kind::installClaudeDesktop:
      return "Install Claude Desktop (recommended)";
    case Kind::installZed:
      return "Install Zed";
    case Kind::installVSCode:
      return "Install VS Code";
    case Kind::installZettlr:
      return "Install Zettlr";
    case Kind::installObsidian:
      return "Install Obsidian";
    case Kind::installCodexCLI:
      return "Install Codex CLI";
    case Kind::installChatGPTDesktop:
      return "Install ChatGPT Desktop";
    case Kind::configureShell:
      return "Set up my shell";
    case Kind::installMise:
      return "Install mise (version manager)";
    case Kind::installNodeViaMise:
      return "Install Node (via mise)";
    case Kind::installRubyViaMise:
      return "Install Ruby (via mise)";
    case Kind::installRustViaMise:
      return "Install Rust (via mise)";
    case Kind::installRustup:
      return "Install Rust (rustup)";
    case Kind::installTemurin:
      return "Install Java (Temurin)";
    case Kind::setJavaHome:
      return "Set JAVA_HOME";
    case Kind::installTemurinPackage:
      return "Install Java (Temurin)";
    case Kind::documentEnvironment:
      return "Document the setup for your AI agent";
    case Kind::installGh:
      return "Install the GitHub CLI";
    case Kind::githubAuth:
      return "Sign in to GitHub";
  }
  return {};
}

std::string SetupRemediation::detail() const {
  switch (kind) {
    case Kind::repairPath:
      return "We'll add `" + directory +
             "` to your PATH in `~/.zprofile` (after backing it up to `~/.zprofile.bak`) so your shell can find "
             "`claude`.";
    case Kind::installUv:
      return "We'll install uv (Astral's installer), use it to install Python, and add uv's `~/.local/bin` to your "
             "PATH.";
    case Kind::createProject:
      // Always names ~/Documents, whatever the chosen destination.
      return std::string(projectDetail(projectTemplate));
    case Kind::installSkill: {
      const std::string displayName = skill ? skill->displayName : std::string();
      const std::string badge = skill ? skill->badge : std::string();
      return "We'll add the " + displayName + " skill to your AI agents \u2014 " + badge + ".";
    }
    case Kind::addMCPServer: {
      const std::string displayName = server ? server->displayName : std::string();
      if (server && server->connection.kind == MCPServer::Connection::Kind::oauth) {
        return "We'll add the " + displayName +
               " MCP server to your AI agents, then you sign in inside Claude or Codex to finish.";
      }
      return "We'll add the " + displayName + " MCP server to your AI agents.";
    }
    case Kind::configureGit:
      return "We'll set your name and email with `git config --global`, add a few sensible defaults, and create a "
             "global ignore file so junk like `.DS_Store` never gets committed.";
    case Kind::installCommandLineTools:
      return {};
    case Kind::installHomebrew:
      return "We'll run the official Homebrew install script. macOS will prompt for your password (three times, as "
             "needed).";
    case Kind::installClaudeCLI:
      return caskSentence("claude-code@latest",
                          "so Claude Code stays updatable under Homebrew, then verify `claude --version` runs.");
    case Kind::repairHomebrewPath:
      return "We'll add Homebrew to your PATH in `~/.zprofile` (after backing it up to `~/.zprofile.bak`) so your "
             "shell can find `brew`, then re-check in a fresh shell.";
    case Kind::installWarp:
      return "We'll install Warp via Homebrew \u2014 the modern, AI-assisted macOS terminal we recommend.";
    case Kind::installClaudeDesktop:
      return caskSentence("claude", "to install the Claude desktop app, then confirm it's present.");
    case Kind::installZed:
      return caskSentence("zed", "to install Zed, a native and fast editor.");
    case Kind::installVSCode:
      return caskSentence("visual-studio-code", "to install Visual Studio Code.");
    case Kind::installZettlr:
      return "free WYSIWYG editor";
    case Kind::installObsidian:
      return "PKM free for personal use";
    case Kind::installCodexCLI:
      return caskSentence("codex", "to install the Codex CLI in your terminal.");
    case Kind::installChatGPTDesktop:
      return caskSentence("chatgpt",
                          "to install the ChatGPT desktop app, which has OpenAI's Codex coding agent built in.");
    case Kind::configureShell:
      return "We'll set up `~/.zprofile` (PATH), `~/.zshrc` (aliases and completions), and `~/.env` (API keys). Each "
             "file is backed up first, and nothing is overwritten.";
    case Kind::installMise:
      return "We'll install mise with Homebrew to manage Node and Ruby versions, and activate it in your shell.";
    case Kind::installNodeViaMise:
      return miseSentence("node@lts", "to install the latest LTS Node.");
    case Kind::installRubyViaMise:
      return miseSentence("ruby@latest", "to install the latest Ruby.");
    case Kind::installRustViaMise:
      return miseSentence("rust",
                          "to install Rust. mise uses rustup underneath, so cargo and rustc resolve through mise.");
    case Kind::installRustup:
      return "We'll install rustup (Rust's official installer) and the stable toolchain, and add `~/.cargo/bin` to "
             "your PATH.";
    case Kind::installTemurin:
      return "We'll install the Temurin JDK with Homebrew (`temurin` cask) and set JAVA_HOME.";
    case Kind::setJavaHome:
      return "Java is already installed on this Mac. We'll add one line to `~/.zprofile` so build tools can find it, "
             "and back the file up first. Nothing is downloaded.";
    case Kind::installTemurinPackage:
      return "We'll download the latest Temurin installer from Adoptium, verify its checksum, and ask macOS for "
             "permission to install it. No other software is needed.";
    case Kind::documentEnvironment:
      return {};
    case Kind::installGh:
      return "We'll run `brew install gh` to install the GitHub CLI.";
    case Kind::githubAuth:
      return "We'll open GitHub sign-in in your browser, then set up Git so pushes don't ask for a password. We never "
             "see your GitHub password.";
  }
  return {};
}

std::string SetupRemediation::method() const {
  switch (kind) {
    case Kind::repairPath:
    case Kind::repairHomebrewPath:
    case Kind::setJavaHome:
      return "zprofile_write";
    case Kind::installUv:
    case Kind::installClaudeCLI:
    case Kind::installWarp:
    case Kind::installClaudeDesktop:
    case Kind::installZed:
    case Kind::installVSCode:
    case Kind::installZettlr:
    case Kind::installObsidian:
    case Kind::installCodexCLI:
    case Kind::installChatGPTDesktop:
    case Kind::installMise:
    case Kind::installTemurin:
    case Kind::installGh:
      return "brew";
    case Kind::createProject:
      return "template_copy";
    case Kind::installSkill:
      return "skill_install";
    case Kind::addMCPServer:
      return "mcp_add";
    case Kind::configureGit:
      return "git_config";
    case Kind::installCommandLineTools:
      return "softwareupdate";
    case Kind::installHomebrew:
      return "homebrew";
    case Kind::configureShell:
      return "shell_config";
    case Kind::installNodeViaMise:
    case Kind::installRubyViaMise:
    case Kind::installRustViaMise:
      return "mise";
    case Kind::installRustup:
      return "rustup";
    case Kind::installTemurinPackage:
      return "pkg";
    case Kind::documentEnvironment:
      return "env_doc";
    case Kind::githubAuth:
      return "gh_auth";
  }
  return {};
}

PostInstallCheck SetupRemediation::postInstallCheck() const {
  switch (kind) {
    case Kind::installUv:
      return PostInstallCheck::executable({"/opt/homebrew/bin/uv", "/usr/local/bin/uv", "~/.local/bin/uv"});
    case Kind::installClaudeCLI:
      return PostInstallCheck::commandNamed("claude");
    case Kind::installWarp:
      return PostInstallCheck::appBundle({"Warp.app"});
    case Kind::installClaudeDesktop:
      return PostInstallCheck::appBundle({"Claude.app"});
    case Kind::installZed:
      return PostInstallCheck::appBundle({"Zed.app"});
    case Kind::installVSCode:
      return PostInstallCheck::appBundle({"Visual Studio Code.app"});
    case Kind::installZettlr:
      return PostInstallCheck::appBundle({"Zettlr.app"});
    case Kind::installObsidian:
      return PostInstallCheck::appBundle({"Obsidian.app"});
    case Kind::installCodexCLI:
      return PostInstallCheck::commandNamed("codex");
    case Kind::installChatGPTDesktop:
      return PostInstallCheck::appBundle({"ChatGPT.app", "Codex.app"});
    case Kind::installMise:
      return PostInstallCheck::executable({"/opt/homebrew/bin/mise", "/usr/local/bin/mise"});
    case Kind::installNodeViaMise:
      return PostInstallCheck::executable({"~/.local/share/mise/shims/node"});
    case Kind::installRubyViaMise:
      return PostInstallCheck::executable({"~/.local/share/mise/shims/ruby"});
    case Kind::installRustViaMise:
      return PostInstallCheck::executable({"~/.local/share/mise/shims/cargo"});
    case Kind::installRustup:
      return PostInstallCheck::executable({"~/.cargo/bin/cargo"});
    case Kind::installTemurin:
    case Kind::installTemurinPackage:
      return PostInstallCheck::directoryPrefixed(std::string(kTemurinParent), "temurin-");
    case Kind::installGh:
      return PostInstallCheck::commandNamed("gh");
    case Kind::repairPath:
    case Kind::createProject:
    case Kind::installSkill:
    case Kind::addMCPServer:
    case Kind::configureGit:
    case Kind::installCommandLineTools:
    case Kind::installHomebrew:
    case Kind::repairHomebrewPath:
    case Kind::configureShell:
    case Kind::setJavaHome:
    case Kind::documentEnvironment:
    case Kind::githubAuth:
      return PostInstallCheck::none();
  }
  return PostInstallCheck::none();
}

}  // namespace bnch
