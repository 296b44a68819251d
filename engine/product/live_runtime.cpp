#include "engine/product/live_runtime.h"

#include <chrono>
#include <utility>

namespace bnch {

LiveRuntime::LiveRuntime(const AppServices& services, const ProductNames& product)
    : LiveRuntime(services, TelemetryConfiguration::live(services, product)) {}

LiveRuntime::LiveRuntime(const AppServices& services, TelemetryConfiguration telemetry)
    : telemetry_(std::make_shared<TelemetryService>(std::move(telemetry))),
      // On quit the lifecycle waits (briefly) until "app_quit" is in the pending
      // file, so the event survives the process ending right after.
      lifecycle_(services.store, *telemetry_, {},
                 [telemetry = telemetry_] { telemetry->waitUntilWritten(std::chrono::seconds(2)); }) {}

}  // namespace bnch
