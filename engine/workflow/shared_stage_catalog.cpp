#include "engine/workflow/shared_stage_catalog.h"

#include <cctype>

#include "engine/workflow/domain.h"

namespace bnch {

namespace {

using Class = SetupDiagnosisClassification;
using Kind = SetupRemediation::Kind;

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string text;
  for (std::size_t index = 0; index < parts.size(); ++index) {
    if (index > 0) text += separator;
    text += parts[index];
  }
  return text;
}

SetupDiagnosis multipleCommands(const std::string& command, const std::vector<std::string>& locations) {
  return {
      .headline = "More than one `" + command + "` command found",
      .detail = "We found multiple `" + command + "` installs (" + joined(locations, ", ") +
                "). To avoid breaking a setup you rely on, we won't remove anything automatically. Recommended: keep "
                "the Homebrew-managed one and remove the others, then make sure Homebrew's bin directory comes first "
                "on your PATH.",
      .classification = Class::blocked,
      .footer = std::nullopt,
  };
}

SetupDiagnosis aiClaudeDiagnosis(const SystemProfile& profile) {
  const AITooling& ai = profile.aiTooling;
  if (ai.claudeCliLocations.size() >= 2) return multipleCommands("claude", ai.claudeCliLocations);
  if (ai.claudeCodeDesktop && (ai.claudeCliLocations.size() == 1 || ai.claudeCodeCLI)) {
    return {"Claude is installed", "You have Claude Desktop and the Claude Code CLI.", Class::ready, std::nullopt};
  }
  return {"Install Claude",
          "Claude Code is Anthropic's AI coding assistant — a desktop app and a terminal CLI. Both are recommended; "
          "already-installed ones are grayed out.",
          Class::fixable, std::nullopt};
}

SetupDiagnosis codexDiagnosis(const SystemProfile& profile, const SetupProbeBundle& probes) {
  const AITooling& ai = profile.aiTooling;
  if (ai.codexCliLocations.size() >= 2) return multipleCommands("codex", ai.codexCliLocations);
  if (!ai.codexCLI && !probes.companionToolPresent && ai.codexCliLocations.empty() && !ai.chatgptDesktop) {
    return {"Also install ChatGPT?",
            "ChatGPT is OpenAI's desktop app, with the Codex coding agent built in. Codex also runs in your terminal "
            "as a CLI. It's helpful to have both.",
            Class::fixable, "We're not affiliated with OpenAI. We just like using both."};
  }
  return {"You have OpenAI's coding tools", "ChatGPT or the Codex CLI is already installed.", Class::ready,
          std::nullopt};
}

SetupDiagnosis editorDiagnosis(const SystemProfile& profile) {
  if (profile.aiTooling.zed || profile.aiTooling.vsCode) {
    return {"You have a code editor", "A recommended editor is already installed.", Class::ready, std::nullopt};
  }
  return {"Code Editor",
          "Based on what you have, we recommend Zed, a native and fast editor. VS Code is a slower alternative if you "
          "prefer it.",
          Class::fixable, std::nullopt};
}

SetupDiagnosis notesDiagnosis(const SystemProfile& profile) {
  if (profile.markdownEditors.zettlr && profile.markdownEditors.obsidian) {
    return {"You have Markdown editors", "You have Zettlr and Obsidian.", Class::ready, std::nullopt};
  }
  return {"Markdown Editor",
          "Markdown is the AI-friendly text format for documents. You can use a code editor but a dedicated Markdown "
          "editor is easier. Choose a simple Markdown editor or an advanced \"second brain\" tool for linked "
          "documents (a PKM or personal knowledge manager). Install either or both; already-installed ones are "
          "grayed out.",
          Class::fixable, std::nullopt};
}

SetupDiagnosis shellConfigDiagnosis(const SetupProbeBundle& probes) {
  if (probes.shellConfigured) {
    return {"Your shell is configured", "Your shell files already have the PATH, mise, and ~/.env setup we add.",
            Class::ready, std::nullopt};
  }
  return {"Shell configuration",
          "We'll configure your shell files so a new terminal finds your tools, and create ~/.env for your API keys.",
          Class::fixable, std::nullopt};
}

SetupDiagnosis languagesDiagnosis() {
  return {"Install programming languages",
          "Pick the languages you want — Python, JavaScript (Node), Java, Ruby, or Rust. This app also installs a "
          "version manager where it's advisable (uv for Python, mise for Node and Ruby and Rust).",
          Class::fixable, std::nullopt};
}

SetupDiagnosis agentDocsDiagnosis(const SetupProbeBundle& probes) {
  if (probes.agentDocNeeded) {
    return {"Tell your AI agent how your Mac is set up",
            "We'll add a short note to your agent's instructions (CLAUDE.md / AGENTS.md) describing how your tools are "
            "set up. Your existing instructions are kept and backed up.",
            Class::fixable, std::nullopt};
  }
  return {"Your AI agent is set up", "Your agent's instructions already describe how your tools are configured.",
          Class::ready, std::nullopt};
}

SetupDiagnosis projectDiagnosis(const SetupProbeBundle& probes) {
  if (probes.projectExists) {
    return {"Your project is set up", "You already have an example project in ~/Documents.", Class::ready,
            std::nullopt};
  }
  return {"Set up a project", "Set up an example project, with CLAUDE.md and AGENTS.md files for guidance.",
          Class::fixable, "This app never overwrites an existing CLAUDE.md or AGENTS.md."};
}

SetupDiagnosis skillsDiagnosis() {
  return {"Add SKILLS",
          "Skills add new capabilities to AI agents. Some skills are just instructions; some run code. Type '/' "
          "(slash) in AI chat to see available skills.",
          Class::fixable, std::nullopt};
}

SetupDiagnosis mcpDiagnosis() {
  return {"Add MCP servers",
          "MCP servers connect AI agents to services they can't reach on their own, such as web searches and macOS "
          "apps (some services need a sign-in or subscription). We set up the configuration so you don't get "
          "annoying errors.",
          Class::fixable,
          "Connection keys are saved to your agent config file. Restart Claude or Codex to load new servers."};
}

SetupDiagnosis gitDiagnosis(const SetupProbeBundle& probes) {
  if (probes.ghPresent && probes.gitIdentitySet && probes.ghAuthed) {
    return {"Git and GitHub are set up", "Your name and email are configured and you're signed in to GitHub.",
            Class::ready, std::nullopt};
  }
  return {"Set up Git with GitHub",
          "Git is already on your Mac. We'll set your name and email for commits, then you can sign in to set up "
          "GitHub for use without password re-typing.",
          Class::fixable,
          "We never see your GitHub password — sign-in happens in your browser. Your name and email are saved to "
          "~/.gitconfig; your login is stored securely by the GitHub CLI."};
}

bool isFixable(const std::optional<SetupDiagnosis>& diagnosis) {
  return diagnosis && diagnosis->classification == Class::fixable;
}

}  // namespace

std::optional<SetupDiagnosis> SharedStageCatalog::diagnosis(const std::string& domain, const SystemProfile& profile,
                                                            const SetupProbeBundle& probes) {
  if (domain == Domain::aiClaude) return aiClaudeDiagnosis(profile);
  if (domain == Domain::codex) return codexDiagnosis(profile, probes);
  if (domain == Domain::editor) return editorDiagnosis(profile);
  if (domain == Domain::notes) return notesDiagnosis(profile);
  if (domain == Domain::shellConfig) return shellConfigDiagnosis(probes);
  if (domain == Domain::languages) return languagesDiagnosis();
  if (domain == Domain::agentDocs) return agentDocsDiagnosis(probes);
  if (domain == Domain::project) return projectDiagnosis(probes);
  if (domain == Domain::skills) return skillsDiagnosis();
  if (domain == Domain::mcp) return mcpDiagnosis();
  if (domain == Domain::git) return gitDiagnosis(probes);
  return std::nullopt;
}

std::vector<SetupRemediation> SharedStageCatalog::remediations(const std::string& domain, const SystemProfile& profile,
                                                               const SetupProbeBundle& probes) {
  std::vector<SetupRemediation> result;
  if (domain == Domain::aiClaude) {
    const AITooling& ai = profile.aiTooling;
    if (ai.claudeCliLocations.size() < 2) {
      if (!ai.claudeCodeDesktop) result.push_back(SetupRemediation::of(Kind::installClaudeDesktop));
      if (ai.claudeCliLocations.empty() && !ai.claudeCodeCLI) {
        result.push_back(SetupRemediation::of(Kind::installClaudeCLI));
      }
    }
    return result;
  }
  if (!isFixable(diagnosis(domain, profile, probes))) return result;
  if (domain == Domain::codex) {
    result = {SetupRemediation::of(Kind::installCodexCLI), SetupRemediation::of(Kind::installChatGPTDesktop)};
  } else if (domain == Domain::editor) {
    result = {SetupRemediation::of(Kind::installZed), SetupRemediation::of(Kind::installVSCode)};
  } else if (domain == Domain::notes) {
    if (!profile.markdownEditors.zettlr) result.push_back(SetupRemediation::of(Kind::installZettlr));
    if (!profile.markdownEditors.obsidian) result.push_back(SetupRemediation::of(Kind::installObsidian));
  } else if (domain == Domain::shellConfig) {
    result = {SetupRemediation::of(Kind::configureShell)};
  } else if (domain == Domain::agentDocs) {
    result = {SetupRemediation::of(Kind::documentEnvironment)};
  } else if (domain == Domain::project) {
    result = {SetupRemediation::createProject(ProjectTemplate::simple, std::nullopt)};
    if (hasDevelopmentTooling(profile)) {
      result.push_back(SetupRemediation::createProject(ProjectTemplate::coding, std::nullopt));
    }
  }
  return result;
}

SetupDiagnosis SharedStageCatalog::cltDiagnosis(const SystemProfile& profile, const SharedDomainCopy& copy) {
  if (profile.xcodeCommandLineToolsPath) {
    return {copy.cltReady.headline, copy.cltReady.detail, Class::ready, std::nullopt};
  }
  const SharedDomainCopy::State& state = profile.isAdministrator ? copy.cltFixable : copy.cltNotAdmin;
  return {state.headline, state.detail, Class::fixable, std::nullopt};
}

SetupDiagnosis SharedStageCatalog::homebrewDiagnosis(const SharedDomainCopy& copy, HomebrewState state) {
  switch (state) {
    case HomebrewState::ready:
      return {copy.homebrewReady.headline, copy.homebrewReady.detail, Class::ready, std::nullopt};
    case HomebrewState::twoPlaces:
      return {"Homebrew is installed",
              "You have Homebrew in two places (/opt/homebrew and /usr/local). We'll use the native /opt/homebrew and "
              "leave the other one untouched.",
              Class::ready, std::nullopt};
    case HomebrewState::notOnPath:
      return {"Homebrew is installed, but your shell can't find it",
              "brew is on your Mac but not on your PATH, so your terminal reports \"command not found\". We'll add it "
              "to ~/.zprofile (backed up first) and re-check in a fresh shell.",
              Class::fixable, std::nullopt};
    case HomebrewState::wrongChip:
      return {"Homebrew is installed for the wrong chip",
              "Your Mac is Apple Silicon, but Homebrew is in the Intel location (/usr/local). We'll install the native "
              "Homebrew in /opt/homebrew and leave the existing one untouched.",
              Class::fixable, std::nullopt};
    case HomebrewState::absent:
      break;
  }
  return {copy.homebrewFixable.headline, copy.homebrewFixable.detail, Class::fixable, std::nullopt};
}

std::string SharedStageCatalog::displayName(std::string_view domain) {
  static const std::pair<Domain, std::string_view> names[] = {
      {Domain::clt, "Command Line Tools"},  {Domain::java, "Java"},
      {Domain::javaPackage, "Java"},        {Domain::homebrew, "Homebrew"},
      {Domain::warp, "Terminal"},           {Domain::aiClaude, "Claude"},
      {Domain::codex, "ChatGPT"},           {Domain::editor, "Code Editor"},
      {Domain::notes, "Markdown Editor"},   {Domain::shellConfig, "Shell Configuration"},
      {Domain::languages, "Languages"},     {Domain::agentDocs, "Agent Docs"},
      {Domain::project, "Starter Project"}, {Domain::skills, "Skills"},
      {Domain::mcp, "MCP Servers"},         {Domain::git, "Git"},
  };
  for (const auto& [known, name] : names) {
    if (domain == known) return std::string(name);
  }
  std::string result;
  std::size_t start = 0;
  while (start <= domain.size()) {
    std::size_t end = domain.find('-', start);
    if (end == std::string_view::npos) end = domain.size();
    std::string part(domain.substr(start, end - start));
    if (!part.empty()) {
      part[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(part[0])));
      if (!result.empty()) result += ' ';
      result += part;
    }
    start = end + 1;
  }
  return result;
}

SetupDiagnosis SharedStageCatalog::unknownDiagnosis(const std::string& domain) {
  return {domain, "", Class::unknown, std::nullopt};
}

VerifyPolicy SharedStageCatalog::verifyPolicy(const SetupRemediation& remediation) {
  switch (remediation.kind) {
    case Kind::repairPath:
    case Kind::repairHomebrewPath:
    case Kind::installClaudeCLI:
    case Kind::installClaudeDesktop:
      return VerifyPolicy::localVerification;
    default:
      return VerifyPolicy::installCompletion;
  }
}

SetupAction SharedStageCatalog::action(const SetupRemediation& remediation) {
  return {remediation.id(), remediation.title(), remediation.detail(), verifyPolicy(remediation)};
}

std::vector<SetupAction> SharedStageCatalog::actions(const std::vector<SetupRemediation>& remediations) {
  std::vector<SetupAction> result;
  result.reserve(remediations.size());
  for (const SetupRemediation& remediation : remediations) result.push_back(action(remediation));
  return result;
}

bool SharedStageCatalog::hasDevelopmentTooling(const SystemProfile& profile) {
  if (profile.homebrewPrefix || profile.sdkmanRoot || profile.miseExecutable || profile.jenvRoot || profile.asdfRoot) {
    return true;
  }
  const AITooling& ai = profile.aiTooling;
  if (ai.claudeCodeDesktop || ai.cursor || ai.chatgptDesktop || ai.vsCode || ai.windsurf || ai.kiro || ai.antigravity ||
      ai.zed || ai.replit || ai.warpApp || ai.intellij || ai.claudeCodeCLI || ai.codexCLI || ai.aider ||
      !ai.claudeCliLocations.empty() || !ai.codexCliLocations.empty()) {
    return true;
  }
  const Terminals& t = profile.terminals;
  return t.iterm || t.ghostty || t.warp || t.hyper || t.alacritty || t.kitty || t.wezterm;
}

}  // namespace bnch
