#pragma once

// Helpers shared by the telemetry tests: a fake clock for back-off, a log
// sink that keeps lines, and a configuration over given services.

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/telemetry/telemetry_configuration.h"
#include "engine/telemetry/telemetry_event.h"

namespace bnch::testing {

// Time that moves only when the service backs off. Thread-safe.
class FakeClock {
 public:
  std::chrono::system_clock::time_point now() const {
    std::lock_guard lock(mutex_);
    return now_;
  }
  // Seconds since the clock was made.
  double elapsed() const { return std::chrono::duration<double>(now() - start_).count(); }
  void sleep(std::chrono::duration<double> duration) {
    std::lock_guard lock(mutex_);
    now_ += std::chrono::duration_cast<std::chrono::system_clock::duration>(duration);
    sleeps_.push_back(duration.count());
  }
  std::vector<double> sleeps() const {
    std::lock_guard lock(mutex_);
    return sleeps_;
  }

 private:
  mutable std::mutex mutex_;
  std::chrono::system_clock::time_point start_ = std::chrono::sys_days{std::chrono::year{2026} / 3 / 14};
  std::chrono::system_clock::time_point now_ = start_;
  std::vector<double> sleeps_;
};

// Keeps every log line. Thread-safe.
class LogLines {
 public:
  TelemetryLogSink sink() {
    return [this](const std::string& line) {
      std::lock_guard lock(mutex_);
      lines_.push_back(line);
    };
  }
  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  bool contains(const std::string& fragment) const {
    for (const auto& line : lines()) {
      if (line.find(fragment) != std::string::npos) return true;
    }
    return false;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

inline constexpr const char* testSessionKey = "com.quillora.benchkit.test.session_id";
inline constexpr const char* testAnonKey = "test-anon-key";

// A configuration sending through `http` (wrapped in the telemetry session).
inline TelemetryConfiguration makeTestConfiguration(std::shared_ptr<HTTPFetching> http,
                                                    std::shared_ptr<FileSystemOperating> fs,
                                                    std::shared_ptr<KeyValueStoring> store, std::string endpoint) {
  TelemetryConfiguration configuration;
  configuration.endpointURL = std::move(endpoint);
  configuration.anonKey = testAnonKey;
  configuration.appVersion = "1.0.0 (7)";
  configuration.appID = "com.quillora.benchkit.test";
  configuration.runContext = "unit";
  configuration.urlSessionFactory = [http] { return std::make_shared<TelemetryHTTPSession>(http, testAnonKey); };
  configuration.pendingFileURL = TelemetryConfiguration::pendingFileIn(*fs, "Benchkit");
  configuration.kvStore = std::move(store);
  configuration.fs = std::move(fs);
  configuration.sessionKey = testSessionKey;
  return configuration;
}

// Polls until the condition holds or ten seconds pass; true when it held.
template <class Condition>
bool eventually(Condition condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

}  // namespace bnch::testing
