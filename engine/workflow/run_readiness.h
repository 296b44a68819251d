#pragma once

#include <optional>
#include <vector>

#include "engine/platform/app_services.h"
#include "engine/probes/readiness_config.h"
#include "engine/probes/readiness_result.h"
#include "engine/telemetry/usage_events.h"
#include "engine/workflow/flow_step.h"

namespace bnch {

// What the readiness checks before the first install found.
struct ReadinessOutcome {
  std::optional<NetworkReadinessResult> network;  // measured when configured and HTTP is there
  std::optional<DiskReadinessResult> disk;        // measured when configured

  // The usage event of each check made, network first.
  std::vector<UsageEvent> events() const;
  // The warning of each check whose verdict warrants one, network first.
  std::vector<ReadinessWarning> warnings() const;
};

// Measures the network and the free space of the home folder's volume, each when
// configured. Blocks (the network check takes seconds); call it off the main
// thread. A free-space read that fails counts as unknown. Never throws.
ReadinessOutcome checkReadiness(const AppServices& services, const std::optional<NetworkReadinessConfig>& network,
                                const std::optional<DiskReadinessConfig>& disk);

}  // namespace bnch
