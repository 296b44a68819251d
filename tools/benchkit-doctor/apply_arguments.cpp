#include "tools/benchkit-doctor/apply_arguments.h"

#include <algorithm>

namespace bnch::doctor {

namespace {

using Kind = SetupRemediation::Kind;

// The cases that carry no payload, in catalogue order.
constexpr Kind kPlainKinds[] = {
    Kind::installCommandLineTools, Kind::installHomebrew,    Kind::repairHomebrewPath,
    Kind::configureShell,          Kind::installClaudeCLI,   Kind::installWarp,
    Kind::installClaudeDesktop,    Kind::installZed,         Kind::installVSCode,
    Kind::installZettlr,           Kind::installObsidian,    Kind::installCodexCLI,
    Kind::installChatGPTDesktop,   Kind::installMise,        Kind::installNodeViaMise,
    Kind::installRubyViaMise,      Kind::installRustViaMise, Kind::installRustup,
    Kind::installTemurin,          Kind::setJavaHome,        Kind::installTemurinPackage,
    Kind::documentEnvironment,     Kind::installGh,          Kind::githubAuth,
};

constexpr ProjectTemplate kTemplates[] = {ProjectTemplate::python, ProjectTemplate::simple, ProjectTemplate::coding};

constexpr std::string_view kPathRepair = "path-repair:";

std::filesystem::path pathRepairDirectory(std::string_view label, const ApplyContext& context) {
  if (label == "local-bin") return context.home / ".local/bin";
  if (label == "claude-local") return context.home / ".claude/local";
  if (label == "brew-bin") return context.brewBin;
  if (label.starts_with("~/")) return context.home / label.substr(2);
  if (label.starts_with("/")) return label;
  throw ApplyUsageError("path-repair takes local-bin, claude-local, brew-bin or a folder (/… or ~/…), not \"" +
                        std::string(label) + "\"");
}

std::optional<SetupRemediation> remediationFor(const std::string& id, const ApplyContext& context) {
  for (Kind kind : kPlainKinds) {
    if (SetupRemediation::of(kind).id() == id) return SetupRemediation::of(kind);
  }
  if (id == "brew:uv") return SetupRemediation::installUv(context.refreshIndex);
  for (ProjectTemplate projectTemplate : kTemplates) {
    const auto project = SetupRemediation::createProject(projectTemplate, std::nullopt);
    if (project.id() == id) return project;
  }
  for (const AgentSkill& skill : AgentSkill::offered()) {
    if ("skill:" + skill.slug == id) return SetupRemediation::installSkill(skill);
  }
  for (const MCPServer& server : MCPServer::offered()) {
    if ("mcp:" + server.slug == id) return SetupRemediation::addMCPServer(server, std::nullopt);
  }
  if (id == "git:config") return SetupRemediation::configureGit("", "");
  if (id.starts_with(kPathRepair) && id != "path-repair:homebrew") {
    return SetupRemediation::repairPath(
        pathRepairDirectory(std::string_view(id).substr(kPathRepair.size()), context).string());
  }
  return std::nullopt;
}

}  // namespace

ApplyArguments parseApplyArguments(const std::vector<std::string>& arguments, const ApplyContext& context) {
  if (arguments == std::vector<std::string>{"--list"}) return ApplyArguments{.list = true};
  if (arguments.empty() || arguments.front().starts_with("-")) {
    throw ApplyUsageError("name the remediation to apply (benchkit-doctor apply --list shows them)");
  }
  const std::string& id = arguments.front();
  std::optional<SetupRemediation> remediation = remediationFor(id, context);
  if (!remediation)
    throw ApplyUsageError("unknown remediation \"" + id + "\" (benchkit-doctor apply --list shows them)");

  ApplyArguments parsed{.remediation = std::move(*remediation)};
  std::optional<std::string> name;
  std::optional<std::string> email;
  const bool isGit = parsed.remediation.kind == Kind::configureGit;
  const bool isMCP = parsed.remediation.kind == Kind::addMCPServer;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    if (option == "--yes") {
      parsed.yes = true;
    } else if (isGit && (option == "--name" || option == "--email")) {
      if (i + 1 == arguments.size()) throw ApplyUsageError(option + " needs a value");
      (option == "--name" ? name : email) = arguments[++i];
    } else if (isMCP && option == "--api-key-stdin") {
      parsed.apiKeyFromStdin = true;
    } else if (option.starts_with("--api-key")) {
      throw ApplyUsageError(
          "an API key is never taken from the command line (other programs can read it there): give it on "
          "standard input with --api-key-stdin, or in the BNCH_MCP_API_KEY environment variable");
    } else {
      throw ApplyUsageError("unexpected argument \"" + option + "\" for " + id);
    }
  }
  if (isGit) {
    if (!name || !email) throw ApplyUsageError("git:config needs --name NAME and --email EMAIL");
    parsed.remediation.name = *name;
    parsed.remediation.email = *email;
  }
  return parsed;
}

std::vector<ApplyCatalogueEntry> applyCatalogue() {
  std::vector<ApplyCatalogueEntry> entries;
  const auto add = [&](std::string id, const SetupRemediation& remediation) {
    entries.push_back({std::move(id), remediation.title()});
  };
  const ApplyContext context{.home = "~"};
  for (const std::string id : {"clt", "shell-config", "homebrew", "path-repair:homebrew", "brew:uv"}) {
    add(id, *remediationFor(id, context));
  }
  for (Kind kind : kPlainKinds) {
    const SetupRemediation remediation = SetupRemediation::of(kind);
    const bool listed =
        std::any_of(entries.begin(), entries.end(), [&](const auto& e) { return e.id == remediation.id(); });
    if (!listed) add(remediation.id(), remediation);
  }
  for (ProjectTemplate projectTemplate : kTemplates) {
    const auto project = SetupRemediation::createProject(projectTemplate, std::nullopt);
    add(project.id(), project);
  }
  for (const AgentSkill& skill : AgentSkill::offered())
    add("skill:" + skill.slug, SetupRemediation::installSkill(skill));
  for (const MCPServer& server : MCPServer::offered()) {
    add("mcp:" + server.slug, SetupRemediation::addMCPServer(server, std::nullopt));
  }
  add("git:config --name NAME --email EMAIL", SetupRemediation::configureGit("", ""));
  for (const std::string label : {"local-bin", "claude-local", "brew-bin"}) {
    add("path-repair:" + label, *remediationFor("path-repair:" + label, context));
  }
  add("path-repair:DIR", SetupRemediation::repairPath("DIR"));
  return entries;
}

}  // namespace bnch::doctor
