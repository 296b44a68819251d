#pragma once

#include <optional>
#include <string>

#include "engine/remediation/agent_skill.h"
#include "engine/remediation/mcp_server.h"
#include "engine/remediation/project_template.h"
#include "engine/verification/post_install_check.h"

namespace bnch {

// One change the system can make to the Mac. A tagged value: `kind` says which
// case it is; only that case's payload fields are meaningful (the others keep
// their defaults, so two values are equal when case and payload are equal).
struct SetupRemediation {
  enum class Kind {
    repairPath,
    installUv,
    createProject,
    installSkill,
    addMCPServer,
    configureGit,
    installCommandLineTools,
    installHomebrew,
    installClaudeCLI,
    repairHomebrewPath,
    installWarp,
    installClaudeDesktop,
    installZed,
    installVSCode,
    installZettlr,
    installObsidian,
    installCodexCLI,
    installChatGPTDesktop,
    configureShell,
    installMise,
    installNodeViaMise,
    installRubyViaMise,
    installRustViaMise,
    installRustup,
    installTemurin,
    setJavaHome,
    installTemurinPackage,
    documentEnvironment,
    installGh,
    githubAuth,
  };

  Kind kind = Kind::installCommandLineTools;
  std::string directory;                                      // repairPath
  bool refreshIndex = false;                                  // installUv
  ProjectTemplate projectTemplate = ProjectTemplate::simple;  // createProject
  std::optional<std::string> destinationPath;                 // createProject: parent folder; absent = ~/Documents
  std::optional<AgentSkill> skill;                            // installSkill
  std::optional<MCPServer> server;                            // addMCPServer
  std::optional<std::string> apiKey;                          // addMCPServer
  std::string name;                                           // configureGit
  std::string email;                                          // configureGit

  static SetupRemediation repairPath(std::string directory) {
    SetupRemediation r{Kind::repairPath};
    r.directory = std::move(directory);
    return r;
  }
  static SetupRemediation installUv(bool refreshIndex) {
    SetupRemediation r{Kind::installUv};
    r.refreshIndex = refreshIndex;
    return r;
  }
  static SetupRemediation createProject(ProjectTemplate projectTemplate, std::optional<std::string> destinationPath) {
    SetupRemediation r{Kind::createProject};
    r.projectTemplate = projectTemplate;
    r.destinationPath = std::move(destinationPath);
    return r;
  }
  static SetupRemediation installSkill(AgentSkill skill) {
    SetupRemediation r{Kind::installSkill};
    r.skill = std::move(skill);
    return r;
  }
  static SetupRemediation addMCPServer(MCPServer server, std::optional<std::string> apiKey) {
    SetupRemediation r{Kind::addMCPServer};
    r.server = std::move(server);
    r.apiKey = std::move(apiKey);
    return r;
  }
  static SetupRemediation configureGit(std::string name, std::string email) {
    SetupRemediation r{Kind::configureGit};
    r.name = std::move(name);
    r.email = std::move(email);
    return r;
  }
  // A case without payload (installCommandLineTools ... githubAuth).
  static SetupRemediation of(Kind kind) { return SetupRemediation{kind}; }

  // The catalogue: stable identifier ("brew:uv", "path-repair:homebrew", ...),
  // button title, explanation shown before approval, telemetry method name, and
  // the check run after a reported success.
  std::string id() const;
  std::string title() const;
  std::string detail() const;
  std::string method() const;
  PostInstallCheck postInstallCheck() const;

  bool operator==(const SetupRemediation&) const = default;
};

}  // namespace bnch
