#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/telemetry/usage_event_tracking.h"
#include "engine/workflow/spine_render_policy.h"

namespace bnch {

// The Python product's render policy, built once on first use and shared. Its
// outcome hook sends through the tracker installed with
// setPythonPolicyEventTracker (dropped until one is installed).
std::shared_ptr<const SpineRenderPolicy> pythonRenderPolicy();

// A Python render policy whose outcome hook sends through `tracker` (tests, or
// a configuration that carries its own telemetry).
std::shared_ptr<const SpineRenderPolicy> makePythonRenderPolicy(std::shared_ptr<UsageEventTracking> tracker);

// Installs the tracker the shared policy's outcome hook uses. Thread-safe; the
// application sets it once at launch.
void setPythonPolicyEventTracker(std::shared_ptr<UsageEventTracking> tracker);

// The policy's hooks, exposed for the screens' fallbacks and for tests. Pure.
std::optional<DiagnosisEvidence> pythonDiagnosisEvidence(const SetupProbeBundle& probes);
std::optional<std::string> pythonPostDiagnosisDecline(const SetupProbeBundle& probes);
std::optional<std::string> pythonOutcomeLimitation(const SetupProbeBundle& probes);
std::vector<SpineRenderPolicy::OpenableApp> pythonOutcomeOpenableApps(const std::optional<SystemProfile>& profile);

}  // namespace bnch
