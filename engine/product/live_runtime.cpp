#include "engine/product/live_runtime.h"

#include <chrono>
#include <utility>

#include "engine/platform/process_environment.h"
#include "engine/remediation/privileged_executor.h"

namespace bnch {

LiveRuntime::LiveRuntime(const AppServices& services, const ProductNames& product)
    : LiveRuntime(services, TelemetryConfiguration::live(services, product)) {}

LiveRuntime::LiveRuntime(const AppServices& services, TelemetryConfiguration telemetry)
    : telemetry_(std::make_shared<TelemetryService>(std::move(telemetry))),
      // On quit the lifecycle waits (briefly) until "app_quit" is in the pending
      // file, so the event survives the process ending right after.
      lifecycle_(services.store, *telemetry_, {},
                 [telemetry = telemetry_] { telemetry->waitUntilWritten(std::chrono::seconds(2)); }) {}

std::shared_ptr<RemediationRunning> makeLiveRemediationRunner(const AppServices& services, const ProductNames& product,
                                                              const SystemProfile& profile) {
  RemediationServices remediation;
  remediation.brewPath = profile.homebrewPrefix;
  remediation.process = services.processRunner;
  remediation.fs = services.fs;
  remediation.http = services.http;
  remediation.product = product;
  remediation.applicationEnvironment = processEnvironment();
  remediation.executorOptions = PrivilegedExecutor::Options::fromProcess(product.displayName);
  if (profile.architecture == Architecture::intel) remediation.architecture = "x64";
  return std::make_shared<SetupRemediationRunner>(std::move(remediation));
}

}  // namespace bnch
