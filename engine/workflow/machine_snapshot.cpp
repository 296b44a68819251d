#include "engine/workflow/machine_snapshot.h"

#include <future>

#include "engine/platform/shell_runner.h"
#include "engine/probes/foundation_prober.h"

namespace bnch {

MachineSnapshot takeMachineSnapshot(const AppServices& services, std::shared_ptr<const SetupProber> prober,
                                    const std::function<SystemProfile()>& profiler,
                                    std::optional<SystemProfile> fixedProfile) {
  MachineSnapshot snapshot;
  std::future<std::optional<SystemProfile>> profiling;
  if (!fixedProfile) {
    profiling = std::async(std::launch::async, [&profiler]() -> std::optional<SystemProfile> {
      try {
        return profiler();
      } catch (...) {
        return std::nullopt;
      }
    });
  }
  try {
    const ShellRunner shell(services.processRunner);
    if (!services.fs) {
      snapshot.probes = SetupProbeBundle{};
    } else if (prober) {
      snapshot.probes = prober->probe(shell, *services.fs);
    } else {
      snapshot.probes = FoundationProber().probe(shell, *services.fs);
    }
  } catch (...) {
    snapshot.probes = SetupProbeBundle{};
  }
  snapshot.profile = fixedProfile ? std::move(fixedProfile) : profiling.get();
  return snapshot;
}

std::optional<SetupWorkflow> workflowFor(const ProductConfig& config, const SystemProfile& profile,
                                         const SetupProbeBundle& probes, const ExperienceContext& experience) {
  if (!config.spineProvider) return std::nullopt;
  try {
    return config.spineProvider->workflow(std::nullopt, profile, probes, experience);
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace bnch
