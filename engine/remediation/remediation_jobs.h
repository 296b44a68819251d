#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/remediation/agent_skill.h"
#include "engine/remediation/mcp_server.h"
#include "engine/remediation/project_template.h"
#include "engine/remediation/remediation_job.h"
#include "engine/remediation/tool_install_commands.h"

// The jobs the runner dispatches to, one function per remediation case (or family
// of cases). Each runs on the job's own thread and ends the job with exactly one
// completed or canceled.
namespace bnch::jobs {

// python_path_jobs.cpp
void installCommandLineTools(const RemediationJob& job);
void installHomebrew(const RemediationJob& job);
void repairHomebrewPath(const RemediationJob& job);
void repairPath(const RemediationJob& job, const std::string& directory);
void installUv(const RemediationJob& job, bool refreshIndex);
void configureShell(const RemediationJob& job);
void documentEnvironment(const RemediationJob& job);
void createProject(const RemediationJob& job, ProjectTemplate projectTemplate,
                   const std::optional<std::string>& destinationPath);

// tool_jobs.cpp
void installAppCask(const RemediationJob& job, const std::string& cask);
void installClaudeCLI(const RemediationJob& job);
void installMise(const RemediationJob& job);
void installMiseLanguage(const RemediationJob& job, const MiseLanguage& language);
void installRustup(const RemediationJob& job);
void installGh(const RemediationJob& job);
void configureGit(const RemediationJob& job, std::string_view name, std::string_view email);
void githubAuth(const RemediationJob& job);
void installTemurin(const RemediationJob& job);
void setJavaHome(const RemediationJob& job);
void installTemurinPackage(const RemediationJob& job);

// agent_jobs.cpp
void installSkill(const RemediationJob& job, const AgentSkill& skill);
void addMCPServer(const RemediationJob& job, const MCPServer& server, const std::optional<std::string>& apiKey);

}  // namespace bnch::jobs
