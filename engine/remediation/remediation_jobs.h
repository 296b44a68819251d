#pragma once

#include <optional>
#include <string>

#include "engine/remediation/project_template.h"
#include "engine/remediation/remediation_job.h"

// The jobs the runner dispatches to, one function per remediation case. Each runs
// on the job's own thread and ends the job with exactly one completed or canceled.
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

}  // namespace bnch::jobs
