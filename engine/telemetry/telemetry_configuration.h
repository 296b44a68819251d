#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/config/product_names.h"
#include "engine/platform/file_system_operating.h"
#include "engine/platform/http_fetching.h"
#include "engine/platform/key_value_storing.h"
#include "engine/telemetry/error_text_redaction.h"
#include "engine/telemetry/telemetry_log.h"

namespace bnch {

struct AppServices;

// Everything the usage-event service depends on. The live value comes from
// `live()`; tests build one with fakes and a fake clock.
struct TelemetryConfiguration {
  // Both come from build options and are empty unless a release build sets them;
  // without both, events are queued and kept in the pending file, never sent.
  std::string endpointURL;
  std::string anonKey;     // bearer token of the endpoint
  std::string appVersion;  // "1.2.0 (45)"
  std::string appID;
  std::string runContext;  // BNCH_RUN_CONTEXT, or "release"
  bool disabled = false;   // only new events are refused; a pending file is still delivered
  // Makes the HTTP session the service uses for every request (called once).
  std::function<std::shared_ptr<HTTPFetching>()> urlSessionFactory;
  std::shared_ptr<KeyValueStoring> kvStore;
  std::shared_ptr<FileSystemOperating> fs;
  std::filesystem::path pendingFileURL;
  std::string sessionKey;  // the store key of the session identity
  // Taken out of every text of event data before it is queued (see redactedText);
  // values the person types are added with TelemetryService::rememberTypedValue.
  PrivateValues privateValues;

  // The newest events kept when the endpoint stays unreachable.
  std::size_t maxPendingEvents = 1000;
  // Time stamps of tracked events. Default: the system clock.
  std::function<std::chrono::system_clock::time_point()> now;
  // The back-off between tries. Default: a wait that shutting down cuts short.
  std::function<void(std::chrono::duration<double>)> sleep;
  // Default: the system log.
  TelemetryLogSink log;

  // The live configuration: build settings for the endpoint and key, the
  // product's app id and folders, the environment's run context and switch.
  static TelemetryConfiguration live(const AppServices& services, const ProductNames& product);

  // "release" when the variable is unset; otherwise its value, with invalid
  // UTF-8 replaced by U+FFFD (other characters, control characters included,
  // are kept; the JSON encoder escapes them).
  static std::string runContextFrom(const char* environmentValue);
  // True only for exactly "1".
  static bool disabledFrom(const char* environmentValue);
  // Application Support / `appSupportDirName` / "pending-events.json"; the
  // process's temporary folder stands in when Application Support is unavailable.
  static std::filesystem::path pendingFileIn(FileSystemOperating& fs, const std::string& appSupportDirName);
  // The endpoint, key and version this program was built with.
  static std::string builtInEndpointURL();
  static std::string builtInAnonKey();
  static std::string builtInAppVersion();
};

// The telemetry HTTP session over a fetcher: every request gets the headers
// "Content-Type: application/json" and "Authorization: Bearer <key>" and a
// time-out of at most 15 seconds. Thread-safe as the inner fetcher is.
class TelemetryHTTPSession final : public HTTPFetching {
 public:
  static constexpr double requestTimeoutSeconds = 15.0;

  TelemetryHTTPSession(std::shared_ptr<HTTPFetching> inner, std::string anonKey);

  HTTPDataResult data(const HTTPRequest& request) override;
  HTTPDownloadResult download(const HTTPRequest& request, const DownloadProgress& progress) override;
  ThroughputSample sample(const HTTPRequest& request, std::int64_t maxBytes, double timeoutSeconds) override;

 private:
  HTTPRequest prepared(const HTTPRequest& request) const;

  std::shared_ptr<HTTPFetching> inner_;
  std::string anonKey_;
};

}  // namespace bnch
