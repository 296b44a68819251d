#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "engine/platform/app_services.h"
#include "engine/probes/setup_probe_bundle.h"
#include "engine/probes/setup_prober.h"
#include "engine/probes/system_profile.h"
#include "engine/workflow/product_config.h"
#include "engine/workflow/setup_workflow.h"
#include "engine/workflow/spine_provider.h"

namespace bnch {

// What a run diagnoses from: the Mac's profile and the product's probe bundle.
struct MachineSnapshot {
  std::optional<SystemProfile> profile;  // absent when the profiler failed
  SetupProbeBundle probes;
};

// Profiles and probes the Mac at the same time (they do not depend on each
// other) and blocks until both are done. With `fixedProfile` the profiler is not
// run and that profile is taken. The prober is the product's, else the
// foundation prober; without a file system, or when the prober throws, the bundle
// is empty. Never throws; call it off the main thread.
MachineSnapshot takeMachineSnapshot(const AppServices& services, std::shared_ptr<const SetupProber> prober,
                                    const std::function<SystemProfile()>& profiler,
                                    std::optional<SystemProfile> fixedProfile = std::nullopt);

// The product's workflow for what was found; nothing without a spine or when the
// spine throws.
std::optional<SetupWorkflow> workflowFor(const ProductConfig& config, const SystemProfile& profile,
                                         const SetupProbeBundle& probes, const ExperienceContext& experience);

}  // namespace bnch
