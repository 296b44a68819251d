// The service and the run lifecycle against a real HTTP collector on 127.0.0.1,
// through the live libcurl fetcher.

#include <gtest/gtest.h>

#include <set>

#include "engine/platform/live_http_fetcher.h"
#include "engine/telemetry/run_lifecycle.h"
#include "engine/telemetry/telemetry_service.h"
#include "engine/telemetry/usage_events.h"
#include "tests/support/local_collector.h"
#include "tests/support/memory_key_value_store.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/telemetry/telemetry_test_support.h"

namespace bnch {
namespace {

using namespace testing;

// The live fetcher with a short request time-out, so a collector that never
// answers costs a fraction of a second per try.
class ShortTimeoutFetcher final : public HTTPFetching {
 public:
  HTTPDataResult data(const HTTPRequest& request) override {
    HTTPRequest shortened = request;
    shortened.timeoutSeconds = 0.3;
    return live_.data(shortened);
  }
  HTTPDownloadResult download(const HTTPRequest& request, const DownloadProgress& progress) override {
    return live_.download(request, progress);
  }
  ThroughputSample sample(const HTTPRequest& request, std::int64_t maxBytes, double timeoutSeconds) override {
    return live_.sample(request, maxBytes, timeoutSeconds);
  }

 private:
  LiveHTTPFetcher live_;
};

struct CollectorFixture : ::testing::Test {
  TempDir dir{"bnch-telemetry"};
  std::shared_ptr<RootedFileSystem> fs = std::make_shared<RootedFileSystem>(dir.path());
  std::shared_ptr<MemoryKeyValueStore> store = std::make_shared<MemoryKeyValueStore>();
  LocalCollector collector;
  FakeClock clock;
  LogLines logs;

  TelemetryConfiguration configuration() {
    auto result = makeTestConfiguration(std::make_shared<ShortTimeoutFetcher>(), fs, store, collector.endpointURL());
    result.now = [this] { return clock.now(); };
    result.sleep = [this](std::chrono::duration<double> duration) { clock.sleep(duration); };
    result.log = logs.sink();
    return result;
  }

  std::vector<std::string> fileNames() {
    auto file = configuration().pendingFileURL;
    std::vector<std::string> names;
    if (!fs->fileExists(file)) return names;
    for (const auto& event : decodePendingEvents(fs->contents(file)).events) names.push_back(event.eventName);
    return names;
  }
};

TEST_F(CollectorFixture, TheCollectorReceivesTheWireFormat) {
  auto config = configuration();
  // A run context with quotes, a tab, a slash and a byte that is not UTF-8.
  config.runContext = TelemetryConfiguration::runContextFrom("nightly \"A/B\"\t\xff");
  TelemetryService service(config);
  track(service, usage_events::diagnosisReached("fixable", {"python"}, {}, {"warp"}));
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_TRUE(collector.violations().empty()) << collector.violations().front();
  auto received = collector.received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].bearer, testAnonKey);
  auto record = received[0].record;
  EXPECT_EQ(record.at("event_name"), JSONValue("diagnosis_reached"));
  EXPECT_EQ(record.at("run_id"), JSONValue(service.runIDString()));
  EXPECT_EQ(record.at("run_context"), JSONValue("nightly \"A/B\"\t\xEF\xBF\xBD"));
  EXPECT_EQ(std::get<JSONObject>(record.at("event_data").value).at("fixable_domains"),
            JSONValue(JSONValue::Array{"python"}));
}

TEST_F(CollectorFixture, A200WithGarbageCountsAsDelivered) {
  collector.answerWith(200, "<html>\x01\xff not json");
  TelemetryService service(configuration());
  service.track("nps_shown", {});
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_EQ(collector.deliveredNames(), std::vector<std::string>{"nps_shown"});
  EXPECT_TRUE(fileNames().empty());
}

// A collector that drops the connection, cuts its answer short, or never
// answers costs three tries; the event waits in the file and goes out once
// the collector answers again.
TEST_F(CollectorFixture, BrokenAnswersKeepTheEventForTheNextFlush) {
  for (auto mode : {LocalCollector::Mode::drop, LocalCollector::Mode::cutShort, LocalCollector::Mode::hang}) {
    SCOPED_TRACE(static_cast<int>(mode));
    LocalCollector broken;
    broken.setMode(mode);
    auto config = configuration();
    config.endpointURL = broken.endpointURL();
    {
      TelemetryService service(config);
      service.track("app_launched", {});
      ASSERT_TRUE(service.waitUntilIdle());
      EXPECT_EQ(broken.requestCount(), 3u);
      EXPECT_EQ(fileNames(), std::vector<std::string>{"app_launched"});
    }
    broken.answerWith(201);
    TelemetryService next(config);
    ASSERT_TRUE(next.waitUntilIdle());
    EXPECT_EQ(broken.deliveredNames(), std::vector<std::string>{"app_launched"});
    EXPECT_TRUE(fileNames().empty());
  }
}

TEST_F(CollectorFixture, ACollectorThatIsNotThereIsJustAnotherFailure) {
  auto config = configuration();
  config.endpointURL = "http://127.0.0.1:" + std::to_string(LocalHTTPServer::unusedPort()) + LocalCollector::path;
  TelemetryService service(config);
  service.track("app_launched", {});
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_EQ(fileNames(), std::vector<std::string>{"app_launched"});
}

// Three launches sharing the store and the files: the first ends without
// quitting, the second quits cleanly, the third starts normally.
TEST_F(CollectorFixture, OnlyTheLaunchAfterAnUncleanExitReportsIt) {
  std::string firstRun;
  auto launch = [&](bool quitCleanly) {
    TelemetryService service(configuration());
    RunLifecycle lifecycle(store, service);
    lifecycle.appeared(service.runIDString(), std::nullopt, true, [] { return std::string("welcome"); });
    if (quitCleanly) lifecycle.willTerminate();
    EXPECT_TRUE(service.waitUntilIdle());
    return service.runIDString();
  };
  firstRun = launch(/*quitCleanly=*/false);
  launch(/*quitCleanly=*/true);
  launch(/*quitCleanly=*/true);

  EXPECT_EQ(collector.deliveredNames(),
            (std::vector<std::string>{"app_launched", "app_launched", "previous_run_unclean", "app_quit",
                                      "app_launched", "app_quit"}));
  auto unclean = collector.delivered().at(2);
  EXPECT_EQ(std::get<JSONObject>(unclean.at("event_data").value).at("previous_run_id"), JSONValue(firstRun));
  std::set<std::string> sessions;
  for (const auto& record : collector.delivered())
    sessions.insert(std::get<std::string>(record.at("session_id").value));
  EXPECT_EQ(sessions.size(), 1u);  // one installation, one identity
}

}  // namespace
}  // namespace bnch
