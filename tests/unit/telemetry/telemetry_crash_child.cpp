// Helper of the crash test: tracks numbered events in bursts until it is
// killed. After each burst has been written to the pending file it prints the
// highest number written so far, one line at a time, on standard output.
//
// Usage: telemetry_crash_child <pending file> <run number>

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "engine/platform/live_file_system.h"
#include "engine/telemetry/telemetry_service.h"
#include "tests/support/canned_http_fetcher.h"
#include "tests/support/memory_key_value_store.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string pendingFile = argv[1];
  const std::int64_t run = std::atoll(argv[2]);

  // No collector: every send fails at once, so every event stays queued.
  auto http = std::make_shared<bnch::testing::CannedHTTPFetcher>();
  bnch::TelemetryConfiguration configuration;
  configuration.endpointURL = "http://collector.invalid/api/database/records/usage_events";
  configuration.anonKey = "crash-test";
  configuration.appVersion = "1.0.0 (1)";
  configuration.appID = "com.quillora.benchkit.crash";
  configuration.runContext = "crash-test";
  configuration.urlSessionFactory = [http] { return http; };
  configuration.kvStore = std::make_shared<bnch::testing::MemoryKeyValueStore>();
  configuration.fs = std::make_shared<bnch::LiveFileSystem>();
  configuration.pendingFileURL = pendingFile;
  configuration.sessionKey = "crash.session_id";
  configuration.maxPendingEvents = 1000;
  configuration.sleep = [](std::chrono::duration<double>) {};
  configuration.log = [](const std::string&) {};

  bnch::TelemetryService service(configuration);
  std::mt19937 random(static_cast<unsigned>(run));
  std::int64_t sequence = 0;
  // At most 600 events per run, so that one run never fills the queue by itself.
  while (sequence < 600) {
    int burst = 1 + static_cast<int>(random() % 20);
    for (int i = 0; i < burst; ++i) {
      service.track("crash_probe", {{"run", run}, {"seq", sequence++}});
    }
    if (!service.waitUntilIdle()) return 3;
    std::string line = std::to_string(sequence - 1) + "\n";
    if (write(STDOUT_FILENO, line.data(), line.size()) < 0) return 4;
  }
  pause();
  return 0;
}
