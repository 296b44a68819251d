#include "engine/verification/outcome_audit.h"

#include <string>

#include "engine/probes/shell_setup.h"
#include "engine/verification/command_text.h"
#include "engine/verification/python_verifier.h"

namespace bnch {

namespace {

// The trimmed output of a command that exited 0 with something to say in a new
// Terminal window.
std::optional<std::string> answer(const ShellRunner& shell, const std::string& commandLine) {
  ShellOutput result = runTrimmed(shell, commandLine, ShellForm::newTerminal);
  if (result.exitCode != 0 || result.output.empty()) return std::nullopt;
  return std::move(result.output);
}

// "Homebrew 4.3.1" gives "4.3.1"; anything else gives nothing.
std::optional<std::string> homebrewVersion(const std::string& output) {
  std::vector<std::string> words;
  std::string word;
  for (char c : output) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  if (words.size() >= 2 && words[0] == "Homebrew") return words[1];
  return std::nullopt;
}

std::vector<std::string> foundation(const ShellRunner& shell, FileSystemOperating& fs) {
  std::vector<std::string> items;
  // git comes with the Command Line Tools; it is only asked about after them.
  if (answer(shell, "xcode-select -p 2>&1")) {
    items.emplace_back("Command Line Tools installed");
    if (const auto git = answer(shell, "git --version 2>&1")) {
      const std::vector<std::string> lines = nonEmptyLines(*git);
      items.push_back(lines.empty() ? std::string("git installed") : lines.front());
    }
  }
  if (const auto brew = answer(shell, "brew --version 2>&1")) {
    const auto version = homebrewVersion(*brew);
    items.push_back(version ? "Homebrew installed \u2014 version " + *version : std::string("Homebrew installed"));
  }
  if (shell_setup::isConfigured(fs)) items.emplace_back("Shell configuration in place");
  if (answer(shell, "mise --version 2>&1")) items.emplace_back("mise installed for language version management");
  return items;
}

std::vector<std::string> terminalAndEditors(const SystemProfile& profile) {
  std::vector<std::string> items;
  if (profile.aiTooling.warpApp || profile.terminals.warp) items.emplace_back("Warp installed");
  if (profile.aiTooling.zed) items.emplace_back("Zed installed");
  if (profile.aiTooling.vsCode) items.emplace_back("VS Code installed");
  if (profile.markdownEditors.zettlr) items.emplace_back("Zettlr installed");
  if (profile.markdownEditors.obsidian) items.emplace_back("Obsidian installed");
  return items;
}

std::vector<std::string> aiAgents(const SystemProfile& profile) {
  std::vector<std::string> items;
  if (profile.aiTooling.claudeCodeDesktop) {
    items.emplace_back("Claude Desktop installed (paid subscription required for Claude Code)");
  }
  if (profile.aiTooling.claudeCodeCLI) items.emplace_back("Claude Code CLI installed (paid subscription required)");
  if (profile.aiTooling.chatgptDesktop) items.emplace_back("ChatGPT Desktop installed");
  if (profile.aiTooling.codexCLI) items.emplace_back("Codex CLI installed");
  return items;
}

std::vector<std::string> languages(const ShellRunner& shell) {
  std::vector<std::string> items;
  const PythonVerifier::BaseTier python = PythonVerifier::probeBaseTier(shell);
  if (python.pythonVersion) {
    items.push_back("Python " + *python.pythonVersion + " installed (with uv)");
  } else if (python.uvVersionOutput) {
    items.emplace_back("uv installed (no uv-managed Python found)");
  }
  struct MiseLanguage {
    const char* command;
    const char* item;
  };
  static constexpr MiseLanguage kMiseLanguages[] = {
      {"node", "JavaScript installed (with mise via Node)"},
      {"ruby", "Ruby installed (with mise)"},
      {"cargo", "Rust installed (with mise via rustup)"},
  };
  for (const MiseLanguage& language : kMiseLanguages) {
    if (answer(shell, std::string("mise which ") + language.command + " 2>/dev/null"))
      items.emplace_back(language.item);
  }
  if (answer(shell, "/usr/libexec/java_home 2>/dev/null")) items.emplace_back("Java installed");
  return items;
}

}  // namespace

std::vector<OutcomeAuditSection> runOutcomeAudit(const ShellRunner& shell, FileSystemOperating& fs,
                                                 const std::optional<SystemProfile>& profile) {
  std::vector<OutcomeAuditSection> sections;
  auto add = [&](const char* title, std::vector<std::string> items) {
    if (!items.empty()) sections.push_back(OutcomeAuditSection{title, std::move(items)});
  };
  add("Foundation", foundation(shell, fs));
  if (profile) {
    add("Terminal and editors", terminalAndEditors(*profile));
    add("AI agents", aiAgents(*profile));
  }
  add("Languages", languages(shell));
  return sections;
}

}  // namespace bnch
