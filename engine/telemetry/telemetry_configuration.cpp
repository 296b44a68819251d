#include "engine/telemetry/telemetry_configuration.h"

#include <algorithm>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "engine/platform/app_services.h"

#ifndef BNCH_TELEMETRY_ENDPOINT
#define BNCH_TELEMETRY_ENDPOINT ""
#endif
#ifndef BNCH_TELEMETRY_KEY
#define BNCH_TELEMETRY_KEY ""
#endif
#ifndef BNCH_APP_SHORT_VERSION
#define BNCH_APP_SHORT_VERSION ""
#endif
#ifndef BNCH_APP_BUILD_VERSION
#define BNCH_APP_BUILD_VERSION ""
#endif

namespace bnch {

namespace {

constexpr const char* pendingFileName = "pending-events.json";

std::string orDefault(const char* value, const char* fallback) {
  return value && *value ? std::string(value) : std::string(fallback);
}

}  // namespace

std::string TelemetryConfiguration::builtInEndpointURL() { return BNCH_TELEMETRY_ENDPOINT; }

std::string TelemetryConfiguration::builtInAnonKey() { return BNCH_TELEMETRY_KEY; }

std::string TelemetryConfiguration::builtInAppVersion() {
  return orDefault(BNCH_APP_SHORT_VERSION, "0.0") + " (" + orDefault(BNCH_APP_BUILD_VERSION, "0") + ")";
}

std::string TelemetryConfiguration::runContextFrom(const char* environmentValue) {
  if (!environmentValue) return "release";
  // Round-trip through the JSON encoder's replacing mode to make the text valid UTF-8.
  std::string text =
      nlohmann::json(std::string(environmentValue)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return nlohmann::json::parse(text).get<std::string>();
}

bool TelemetryConfiguration::disabledFrom(const char* environmentValue) {
  return environmentValue && std::string_view(environmentValue) == "1";
}

std::filesystem::path TelemetryConfiguration::pendingFileIn(FileSystemOperating& fs,
                                                            const std::string& appSupportDirName) {
  std::filesystem::path base;
  try {
    base = fs.applicationSupportDirectory();
  } catch (const std::exception&) {
    std::error_code error;
    base = std::filesystem::temp_directory_path(error);
    if (error) base = "/tmp";
  }
  return base / appSupportDirName / pendingFileName;
}

TelemetryConfiguration TelemetryConfiguration::live(const AppServices& services, const ProductNames& product) {
  TelemetryConfiguration configuration;
  configuration.endpointURL = builtInEndpointURL();
  configuration.anonKey = builtInAnonKey();
  configuration.appVersion = builtInAppVersion();
  configuration.appID = product.appID;
  configuration.runContext = runContextFrom(std::getenv("BNCH_RUN_CONTEXT"));
  configuration.disabled = disabledFrom(std::getenv("BNCH_TELEMETRY_DISABLED"));
  configuration.urlSessionFactory = [http = services.http, key = configuration.anonKey] {
    return std::make_shared<TelemetryHTTPSession>(http, key);
  };
  configuration.kvStore = services.store;
  configuration.fs = services.fs;
  configuration.pendingFileURL = pendingFileIn(*services.fs, product.appSupportDirName);
  configuration.sessionKey = product.defaultsKey(".session_id");
  configuration.privateValues = PrivateValues::ofThisAccount();
  configuration.privateValues.homeFolder = services.fs->homeDirectory().string();
  return configuration;
}

TelemetryHTTPSession::TelemetryHTTPSession(std::shared_ptr<HTTPFetching> inner, std::string anonKey)
    : inner_(std::move(inner)), anonKey_(std::move(anonKey)) {}

HTTPRequest TelemetryHTTPSession::prepared(const HTTPRequest& request) const {
  HTTPRequest result = request;
  result.headers.emplace_back("Content-Type", "application/json");
  result.headers.emplace_back("Authorization", "Bearer " + anonKey_);
  result.timeoutSeconds = std::min(result.timeoutSeconds, requestTimeoutSeconds);
  return result;
}

HTTPDataResult TelemetryHTTPSession::data(const HTTPRequest& request) { return inner_->data(prepared(request)); }

HTTPDownloadResult TelemetryHTTPSession::download(const HTTPRequest& request, const DownloadProgress& progress) {
  return inner_->download(prepared(request), progress);
}

ThroughputSample TelemetryHTTPSession::sample(const HTTPRequest& request, std::int64_t maxBytes,
                                              double timeoutSeconds) {
  return inner_->sample(prepared(request), maxBytes, std::min(timeoutSeconds, requestTimeoutSeconds));
}

}  // namespace bnch
