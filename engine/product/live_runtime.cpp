#include "engine/product/live_runtime.h"

#include <chrono>

namespace bnch {

LiveRuntime::LiveRuntime(const AppServices& services, const ProductNames& product)
    : telemetry_(std::make_shared<TelemetryService>(TelemetryConfiguration::live(services, product))),
      // On quit the lifecycle waits (briefly) until "app_quit" is in the pending
      // file, so the event survives the process ending right after.
      lifecycle_(services.store, *telemetry_, {},
                 [telemetry = telemetry_] { telemetry->waitUntilWritten(std::chrono::seconds(2)); }) {}

}  // namespace bnch
