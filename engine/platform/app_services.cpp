#include "engine/platform/app_services.h"

#include <string>

#include "engine/config/product_identity.h"
#include "engine/platform/live_file_system.h"
#include "engine/platform/live_http_fetcher.h"
#include "engine/platform/live_key_value_store.h"
#include "engine/platform/live_process_runner.h"

namespace bnch {

namespace {

// The application id whose user defaults the live store reads and writes.
std::string defaultsDomain() { return std::string(identity::makerReverseDomain) + ".benchkit-python"; }

}  // namespace

const AppServices& AppServices::live() {
  // Built on first use (thread-safe static initialisation) and shared until exit.
  static const AppServices services{
      .processRunner = std::make_shared<LiveProcessRunner>(),
      .http = std::make_shared<LiveHTTPFetcher>(),
      .fs = std::make_shared<LiveFileSystem>(),
      .store = std::make_shared<LiveKeyValueStore>(defaultsDomain()),
      .isFixtureMode = false,
  };
  return services;
}

}  // namespace bnch
