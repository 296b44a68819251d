#pragma once

#include <optional>
#include <vector>

#include "engine/platform/file_system_operating.h"
#include "engine/platform/shell_runner.h"
#include "engine/probes/system_profile.h"
#include "engine/verification/setup_verification_result.h"

namespace bnch {

// What is on this Mac now, for the outcome screen: up to four sections in a fixed
// order ("Foundation", "Terminal and editors", "AI agents", "Languages"); a section
// with no items is left out. Foundation and Languages come from commands run one
// after another in fresh login shells (a command counts when it exits 0 with
// output); the two middle sections come from the profile and are empty without
// one. Blocks until done; never throws: a failed command leaves its item out.
std::vector<OutcomeAuditSection> runOutcomeAudit(const ShellRunner& shell, FileSystemOperating& fs,
                                                 const std::optional<SystemProfile>& profile);

}  // namespace bnch
