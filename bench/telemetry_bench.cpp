// Usage events against a local collector: 10,000 events tracked while the
// collector answers 503 (the queue fills to its bound of 1,000), then the
// collector answers 201 and the queue drains. Figures: time in track() per
// event, time until the burst is queued and written, time to drain, peak
// memory. Baseline, measured in the same run: the same number of plain POSTs
// of the same body straight through the HTTP fetcher, without the service.

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>

#include "engine/platform/live_file_system.h"
#include "engine/platform/live_http_fetcher.h"
#include "engine/telemetry/event_payload.h"
#include "engine/telemetry/telemetry_service.h"
#include "engine/telemetry/usage_events.h"
#include "tests/support/local_collector.h"
#include "tests/support/memory_key_value_store.h"
#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double peakResidentMB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
#ifdef __APPLE__
  return static_cast<double>(usage.ru_maxrss) / (1024.0 * 1024.0);  // bytes
#else
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes
#endif
}

bnch::UsageEvent sampleEvent(int index) {
  bnch::SetupVerificationResult result;
  result.engineOutcome = "blocked";
  result.failedChecks = {"package_installs"};
  auto event =
      bnch::usage_events::remediationFailed("brew:uv", 1, bnch::usage_events::RemediationFailureReason::nonzeroExit,
                                            1234 + index, "Error: couldn't fetch https://example.com/uv.tar.gz", 1);
  event.data["bench_index"] = index;
  return event;
}

}  // namespace

int main() {
  constexpr int eventCount = 10'000;
  bnch::testing::TempDir dir("bnch-telemetry-bench");
  bnch::testing::LocalCollector collector(503);
  auto fetcher = std::make_shared<bnch::LiveHTTPFetcher>();
  auto fs = std::make_shared<bnch::LiveFileSystem>();
  std::atomic<int> logLines{0};

  bnch::TelemetryConfiguration configuration;
  configuration.endpointURL = collector.endpointURL();
  configuration.anonKey = bnch::TelemetryConfiguration::builtInAnonKey();
  configuration.appVersion = bnch::TelemetryConfiguration::builtInAppVersion();
  configuration.appID = "com.quillora.benchkit.bench";
  configuration.runContext = "bench";
  configuration.urlSessionFactory = [fetcher, key = configuration.anonKey] {
    return std::make_shared<bnch::TelemetryHTTPSession>(fetcher, key);
  };
  configuration.kvStore = std::make_shared<bnch::testing::MemoryKeyValueStore>();
  configuration.fs = fs;
  configuration.pendingFileURL = dir.path() / "Benchkit" / "pending-events.json";
  configuration.sessionKey = "bench.session_id";
  configuration.log = [&logLines](const std::string&) { ++logLines; };

  double memoryBefore = peakResidentMB();

  // Baseline: plain POSTs of one event's body, one after the other.
  constexpr int baselineCount = 200;
  collector.answerWith(201);
  std::string body =
      bnch::EventPayload::make({.sessionID = bnch::UUID::random(),
                                .clientTimestamp = bnch::iso8601Timestamp(std::chrono::system_clock::now()),
                                .appVersion = configuration.appVersion,
                                .eventName = "remediation_failed",
                                .eventData = sampleEvent(0).data},
                               bnch::UUID::random(), configuration.appID, configuration.runContext)
          .requestBody();
  bnch::TelemetryHTTPSession session(fetcher, configuration.anonKey);
  auto baselineStart = Clock::now();
  for (int i = 0; i < baselineCount; ++i) {
    session.data({.url = collector.endpointURL(), .method = "POST", .headers = {}, .body = body, .timeoutSeconds = 15});
  }
  double postSeconds = secondsSince(baselineStart) / baselineCount;
  std::size_t baselineRequests = collector.requestCount();

  // Phase 1: the collector is down (503).
  collector.answerWith(503);
  bnch::TelemetryService service(configuration);
  std::vector<bnch::UsageEvent> events;
  events.reserve(eventCount);
  for (int i = 0; i < eventCount; ++i) events.push_back(sampleEvent(i));
  auto trackStart = Clock::now();
  for (auto& event : events) bnch::track(service, std::move(event));
  double trackSeconds = secondsSince(trackStart);
  bool idle = service.waitUntilIdle(std::chrono::minutes(5));
  double queuedSeconds = secondsSince(trackStart);
  std::size_t queued = service.pendingEvents().size();
  std::size_t failedRequests = collector.requestCount() - baselineRequests;

  // Phase 2: the collector is back (201); the next event starts the drain.
  collector.answerWith(201);
  auto drainStart = Clock::now();
  service.track("app_quit", {{"last_screen", "outcome"}, {"uptime_s", 1}});
  idle = service.waitUntilIdle(std::chrono::minutes(10)) && idle;
  double drainSeconds = secondsSince(drainStart);
  std::size_t delivered = collector.delivered().size() - baselineCount;
  bool fileGone = !fs->fileExists(configuration.pendingFileURL);
  double memoryPeak = peakResidentMB();
  service.shutdown();

  double trackMicros = trackSeconds / eventCount * 1e6;
  double drainPerEvent = delivered ? drainSeconds / static_cast<double>(delivered) : 0;
  std::printf("telemetry bench: %d events tracked against 503, then drained against 201\n", eventCount);
  std::printf("  track():             %.2f us per event (%.3f s for all)\n", trackMicros, trackSeconds);
  std::printf(
      "  queued and written:  %.3f s after the first track (includes one failed flush: 3 tries, 1.5 s back-off)\n",
      queuedSeconds);
  std::printf("  queue at the bound:  %zu events kept, %zu requests while down, %d log lines\n", queued, failedRequests,
              logLines.load());
  std::printf("  drain:               %zu events in %.3f s (%.2f ms per event), pending file removed: %s\n", delivered,
              drainSeconds, drainPerEvent * 1e3, fileGone ? "yes" : "no");
  std::printf("  baseline POST:       %.2f ms per request (%d plain POSTs)\n", postSeconds * 1e3, baselineCount);
  std::printf("  drain / baseline:    %.2fx per event (the rest is rewriting the pending file after each delivery)\n",
              drainPerEvent / postSeconds);
  std::printf("  peak memory:         %.1f MB (%.1f MB before the service)\n", memoryPeak, memoryBefore);
  std::printf(
      "RESULT track_us_per_event=%.2f queue_written_s=%.3f queued=%zu drain_s=%.3f drained=%zu "
      "drain_ms_per_event=%.2f baseline_post_ms=%.2f drain_vs_baseline=%.2f peak_rss_mb=%.1f idle=%d\n",
      trackMicros, queuedSeconds, queued, drainSeconds, delivered, drainPerEvent * 1e3, postSeconds * 1e3,
      drainPerEvent / postSeconds, memoryPeak, idle && fileGone ? 1 : 0);
  // The event that starts the drain pushes the oldest one out of the full queue.
  return idle && fileGone && delivered == std::min<std::size_t>(queued + 1, 1000) ? 0 : 1;
}
