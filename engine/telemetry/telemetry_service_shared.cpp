// The process-wide service lives in its own file so that programs and tests
// that build their own services do not pull in the live services.

#include "engine/platform/app_services.h"
#include "engine/telemetry/telemetry_service.h"
#include "engine/workflow/product_config.h"

namespace bnch {

TelemetryService& TelemetryService::shared() {
  // Never destroyed: the worker threads may still be finishing a request while
  // the process exits, and every tracked event is already in the pending file.
  static TelemetryService* const service =
      new TelemetryService(Configuration::live(AppServices::live(), ProductConfig::current()));
  return *service;
}

}  // namespace bnch
