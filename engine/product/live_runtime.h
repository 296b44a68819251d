#pragma once

#include <memory>

#include "engine/config/product_names.h"
#include "engine/platform/app_services.h"
#include "engine/probes/system_profile.h"
#include "engine/remediation/setup_remediation_runner.h"
#include "engine/telemetry/run_lifecycle.h"
#include "engine/telemetry/telemetry_service.h"
#include "engine/workflow/once_only_events.h"

namespace bnch {

// The process-wide pieces an entry point builds once, before any window, and
// hands down: the telemetry service over the given services, the run lifecycle
// that reports to it, and the once-only event markers every flow model shares.
// Keep it alive until the process ends (the telemetry workers may still be
// finishing a request while it exits): build it with `new` and never delete it.
class LiveRuntime {
 public:
  LiveRuntime(const AppServices& services, const ProductNames& product);
  // The same over a telemetry configuration the caller adjusted.
  LiveRuntime(const AppServices& services, TelemetryConfiguration telemetry);
  LiveRuntime(const LiveRuntime&) = delete;
  LiveRuntime& operator=(const LiveRuntime&) = delete;

  const std::shared_ptr<TelemetryService>& telemetry() const { return telemetry_; }
  RunLifecycle& lifecycle() { return lifecycle_; }
  const std::shared_ptr<OnceOnlyEvents>& onceOnly() const { return onceOnly_; }

 private:
  std::shared_ptr<TelemetryService> telemetry_;
  RunLifecycle lifecycle_;
  std::shared_ptr<OnceOnlyEvents> onceOnly_ = std::make_shared<OnceOnlyEvents>();
};

// The live runner of remediations on a Mac like the profile says: Homebrew where
// profiling found it, the application's environment and temporary folder, the
// given services and the product's names.
std::shared_ptr<RemediationRunning> makeLiveRemediationRunner(const AppServices& services, const ProductNames& product,
                                                              const SystemProfile& profile);

}  // namespace bnch
