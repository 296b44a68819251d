// The process-wide lifecycle lives in its own file so that tests that build
// their own do not pull in the live services.

#include "engine/platform/app_services.h"
#include "engine/telemetry/run_lifecycle.h"
#include "engine/telemetry/telemetry_service.h"

namespace bnch {

RunLifecycle& RunLifecycle::shared() {
  // Never destroyed, like the telemetry service it reports to.
  // On quit it waits (briefly) until "app_quit" is in the pending file, so the
  // event survives the process ending right after.
  static RunLifecycle* const lifecycle =
      new RunLifecycle(AppServices::live().store, TelemetryService::shared(), {},
                       [] { TelemetryService::shared().waitUntilWritten(std::chrono::seconds(2)); });
  return *lifecycle;
}

}  // namespace bnch
