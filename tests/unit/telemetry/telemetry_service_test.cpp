#include "engine/telemetry/telemetry_service.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <future>
#include <map>
#include <nlohmann/json.hpp>

#include "tests/support/canned_http_fetcher.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/memory_key_value_store.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/telemetry/telemetry_test_support.h"

namespace bnch {
namespace {

using namespace testing;

constexpr const char* endpoint = "https://collector.test/api/database/records/usage_events";

struct ServiceFixture : ::testing::Test {
  TempDir dir{"bnch-telemetry"};
  std::shared_ptr<RootedFileSystem> fs = std::make_shared<RootedFileSystem>(dir.path());
  std::shared_ptr<MemoryKeyValueStore> store = std::make_shared<MemoryKeyValueStore>();
  std::shared_ptr<CannedHTTPFetcher> http = std::make_shared<CannedHTTPFetcher>();
  FakeClock clock;
  LogLines logs;
  std::mutex timesMutex;
  std::vector<double> requestTimes;  // fake-clock seconds of each request

  TelemetryConfiguration configuration(std::shared_ptr<FileSystemOperating> files = nullptr) {
    auto result = makeTestConfiguration(http, files ? files : fs, store, endpoint);
    result.now = [this] { return clock.now(); };
    result.sleep = [this](std::chrono::duration<double> duration) { clock.sleep(duration); };
    result.log = logs.sink();
    return result;
  }

  std::filesystem::path pendingFile() { return configuration().pendingFileURL; }

  // Answers in turn with the given statuses (the last repeats), noting request times.
  void answerStatuses(std::vector<long> statuses) {
    auto shared = std::make_shared<std::vector<long>>(std::move(statuses));
    auto index = std::make_shared<std::size_t>(0);
    http->setHandler([this, shared, index](const HTTPRequest&) -> CannedAnswer {
      std::lock_guard lock(timesMutex);
      requestTimes.push_back(clock.elapsed());
      long status = (*shared)[std::min(*index, shared->size() - 1)];
      ++*index;
      return CannedResponse{.statusCode = status, .body = "[]"};
    });
  }

  // The event names of the requests sent so far, in order.
  std::vector<std::string> sentNames() {
    std::vector<std::string> names;
    for (const auto& request : http->requests()) {
      names.push_back(nlohmann::json::parse(request.body)[0]["event_name"].get<std::string>());
    }
    return names;
  }

  std::vector<std::string> fileNames() {
    std::vector<std::string> names;
    if (!fs->fileExists(pendingFile())) return names;
    for (const auto& event : decodePendingEvents(fs->contents(pendingFile())).events) names.push_back(event.eventName);
    return names;
  }

  void writePendingFile(const std::string& contents) { fs->writeFile(pendingFile(), contents); }
};

TelemetryEvent storedEvent(std::string name, std::string session, std::string timestamp) {
  return TelemetryEvent{
      .sessionID = *UUID::parse(session),
      .clientTimestamp = std::move(timestamp),
      .appVersion = "0.9.0 (3)",
      .eventName = std::move(name),
      .eventData = {{"n", 1}},
  };
}

TEST_F(ServiceFixture, ARejectedEventIsDroppedAfterOneTryAndTheNextIsSent) {
  answerStatuses({404, 201});
  TelemetryService service(configuration());
  service.track("bad_name", {});
  service.track("app_launched", {});
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_EQ(sentNames(), (std::vector<std::string>{"bad_name", "app_launched"}));
  EXPECT_TRUE(logs.contains("Telemetry: dropping event after 404 (likely event_name or schema mismatch)"));
  EXPECT_TRUE(service.pendingEvents().empty());
  EXPECT_FALSE(fs->fileExists(pendingFile()));
}

// A busy or slow server (429, 408) is asked again, not taken for a rejection.
TEST_F(ServiceFixture, TooManyRequestsAndRequestTimeOutAreTriedAgainNotDropped) {
  answerStatuses({429, 408, 201});
  TelemetryService service(configuration());
  service.track("app_launched", {});
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_EQ(sentNames(), std::vector<std::string>(3, "app_launched"));
  EXPECT_EQ(requestTimes, (std::vector<double>{0.0, 0.5, 1.5}));
  EXPECT_FALSE(logs.contains("dropping"));
  EXPECT_FALSE(fs->fileExists(pendingFile()));

  answerStatuses({429});
  service.track("consent_given", {});
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_EQ(fileNames(), std::vector<std::string>{"consent_given"});
}

TEST_F(ServiceFixture, ServerErrorsAreTriedThreeTimesThenTheEventWaitsFirstInTheFile) {
  answerStatuses({503});
  TelemetryService service(configuration());
  service.track("app_launched", {{"n", 1}});
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_EQ(requestTimes, (std::vector<double>{0.0, 0.5, 1.5}));
  EXPECT_EQ(fileNames(), std::vector<std::string>{"app_launched"});

  // The next event starts a new flush, which begins with the waiting event.
  service.track("consent_given", {});
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_EQ(sentNames(), std::vector<std::string>(6, "app_launched"));
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"app_launched", "consent_given"}));

  answerStatuses({201});
  service.track("experience_bucket", {});
  ASSERT_TRUE(service.waitUntilIdle());
  auto names = sentNames();
  EXPECT_EQ(std::vector<std::string>(names.begin() + 6, names.end()),
            (std::vector<std::string>{"app_launched", "consent_given", "experience_bucket"}));
  EXPECT_FALSE(fs->fileExists(pendingFile()));
}

TEST_F(ServiceFixture, EventsOfAnEarlierLaunchGoFirstWithTheirOwnSessionAndTheCurrentRun) {
  writePendingFile(encodePendingEvents({
      storedEvent("app_quit", "11111111-2222-4333-8444-555555555555", "2026-01-02T03:04:05.006Z"),
      storedEvent("window_closed", "11111111-2222-4333-8444-555555555555", "2026-01-02T03:04:06.007Z"),
  }));
  answerStatuses({201});
  TelemetryService service(configuration());
  service.track("app_launched", {});
  service.track("consent_given", {});
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_EQ(sentNames(), (std::vector<std::string>{"app_quit", "window_closed", "app_launched", "consent_given"}));

  auto requests = http->requests();
  auto stored = nlohmann::json::parse(requests[0].body)[0];
  EXPECT_EQ(stored["session_id"], "11111111-2222-4333-8444-555555555555");
  EXPECT_EQ(stored["client_timestamp"], "2026-01-02T03:04:05.006Z");
  EXPECT_EQ(stored["app_version"], "0.9.0 (3)");
  EXPECT_EQ(stored["run_id"], service.runIDString());
  auto fresh = nlohmann::json::parse(requests[2].body)[0];
  EXPECT_EQ(fresh["session_id"], service.sessionID().lowercaseString());
  EXPECT_EQ(fresh["client_timestamp"], "2026-03-14T00:00:00.000Z");
  EXPECT_EQ(fresh["run_id"], service.runIDString());
  EXPECT_FALSE(fs->fileExists(pendingFile()));
}

TEST_F(ServiceFixture, RequestsCarryTheBearerKeyAndTheStoredSession) {
  store->set(StoredValue(std::string("6BA7B810-9DAD-41D1-80B4-00C04FD430C8")), testSessionKey);
  answerStatuses({201});
  TelemetryService service(configuration());
  service.track("app_launched", {{"arch", "arm64"}});
  ASSERT_TRUE(service.waitUntilIdle());
  auto request = http->requests().at(0);
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.url, endpoint);
  EXPECT_LE(request.timeoutSeconds, 15.0);
  EXPECT_EQ(request.headers, (HTTPHeaders{{"Content-Type", "application/json"},
                                          {"Authorization", std::string("Bearer ") + testAnonKey}}));
  auto record = nlohmann::json::parse(request.body)[0];
  EXPECT_EQ(record["session_id"], "6ba7b810-9dad-41d1-80b4-00c04fd430c8");
  EXPECT_EQ(record["app_id"], "com.quillora.benchkit.test");
  EXPECT_EQ(record["run_context"], "unit");
  EXPECT_EQ(record["event_data"], nlohmann::json({{"arch", "arm64"}}));
}

TEST_F(ServiceFixture, ATrackedEventReachesTheFileWhileADeliveryIsStillWaiting) {
  auto release = std::make_shared<std::promise<void>>();
  auto released = release->get_future().share();
  http->setHandler([released](const HTTPRequest&) -> CannedAnswer {
    released.wait();
    return CannedResponse{.statusCode = 201};
  });
  TelemetryService service(configuration());
  service.track("remediation_applied", {});
  service.track("app_quit", {});
  ASSERT_TRUE(service.waitUntilWritten(std::chrono::seconds(10)));
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"remediation_applied", "app_quit"}));
  release->set_value();
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_EQ(sentNames(), (std::vector<std::string>{"remediation_applied", "app_quit"}));
  EXPECT_FALSE(fs->fileExists(pendingFile()));
}

TEST_F(ServiceFixture, EventsTrackedJustBeforeShutdownAreDeliveredExactlyOnceByTheNextLaunch) {
  http->setHandler([](const HTTPRequest&) -> CannedAnswer {
    return URLError(URLErrorCode::notConnectedToInternet, "The Internet connection appears to be offline.");
  });
  {
    TelemetryService first(configuration());
    first.track("window_closed", {});
    first.track("app_quit", {});
    first.shutdown();
  }
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"window_closed", "app_quit"}));

  auto offline = http->requests().size();
  answerStatuses({201});
  {
    TelemetryService second(configuration());
    ASSERT_TRUE(second.waitUntilIdle());
  }
  TelemetryService third(configuration());
  ASSERT_TRUE(third.waitUntilIdle());
  auto names = sentNames();
  EXPECT_EQ(std::vector<std::string>(names.begin() + static_cast<std::ptrdiff_t>(offline), names.end()),
            (std::vector<std::string>{"window_closed", "app_quit"}));
  EXPECT_FALSE(fs->fileExists(pendingFile()));
}

TEST_F(ServiceFixture, TheQueueKeepsOnlyTheNewestEvents) {
  answerStatuses({503});
  auto limited = configuration();
  limited.maxPendingEvents = 3;
  TelemetryService service(limited);
  for (int i = 0; i < 6; ++i) service.track("event_" + std::to_string(i), {});
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"event_3", "event_4", "event_5"}));
  EXPECT_TRUE(logs.contains("oldest"));
}

TEST_F(ServiceFixture, DisabledTelemetryStillDeliversAnEarlierLaunchsFile) {
  writePendingFile(encodePendingEvents({storedEvent("app_quit", "11111111-2222-4333-8444-555555555555", "t")}));
  answerStatuses({201});
  auto disabled = configuration();
  disabled.disabled = true;
  TelemetryService service(disabled);
  service.track("app_launched", {});
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_EQ(sentNames(), std::vector<std::string>{"app_quit"});
  EXPECT_FALSE(fs->fileExists(pendingFile()));
}

// A damaged pending file never stops the events of this launch; it is logged,
// left until the next write, and then replaced.
TEST_F(ServiceFixture, ADamagedPendingFileIsLoggedAndReplacedByTheNextWrite) {
  for (std::string contents : {std::string(), std::string("not json at all"), std::string("{\"events\":[]}"),
                               std::string("\xff\xfe\x00garbage", 10)}) {
    SCOPED_TRACE(contents);
    writePendingFile(contents);
    answerStatuses({503});
    TelemetryService service(configuration());
    ASSERT_TRUE(service.waitUntilIdle());
    EXPECT_TRUE(logs.contains("Telemetry: couldn't load pending events: "));
    EXPECT_EQ(fs->contents(pendingFile()), contents);  // left alone while nothing is queued

    service.track("app_launched", {});
    ASSERT_TRUE(service.waitUntilIdle());
    EXPECT_EQ(fileNames(), std::vector<std::string>{"app_launched"});
    fs->removeItem(pendingFile());
  }
}

TEST_F(ServiceFixture, UnreadableEntriesAreSkippedAndTheRestDelivered) {
  auto good = nlohmann::json::parse(
      encodePendingEvents({storedEvent("app_quit", "11111111-2222-4333-8444-555555555555", "t1"),
                           storedEvent("window_closed", "11111111-2222-4333-8444-555555555555", "t2")}));
  good[0]["eventData"] = nlohmann::json::array({1, 2});  // data that is not a map
  good.push_back({{"eventName", "half"}});
  std::string text = good.dump();
  // An entry whose data is nested 100,000 levels deep must not take the service down.
  std::string deep =
      "{\"sessionID\":\"11111111-2222-4333-8444-555555555555\",\"clientTimestamp\":\"t3\","
      "\"appVersion\":\"0.9.0 (3)\",\"eventName\":\"deep\",\"eventData\":{\"a\":" +
      std::string(100'000, '[') + std::string(100'000, ']') + "}}";
  text.insert(text.size() - 1, "," + deep);
  writePendingFile(text);
  answerStatuses({201});
  TelemetryService service(configuration());
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_EQ(sentNames(), std::vector<std::string>{"window_closed"});
  EXPECT_TRUE(logs.contains("Telemetry: skipped 3 unreadable pending events"));
}

// The pending file is never used through a link, is written private, and one
// broken entry costs only itself.
TEST_F(ServiceFixture, PendingFileCases) {
  const std::string stored =
      encodePendingEvents({storedEvent("app_quit", "11111111-2222-4333-8444-555555555555", "t1"),
                           storedEvent("window_closed", "11111111-2222-4333-8444-555555555555", "t2")});
  fs->writeFile(pendingFile(), stored, 0000);
  {
    // An invalid byte inside one entry: the other is still delivered.
    std::string damaged = stored;
    damaged.replace(damaged.find("app_quit"), 3, "a\xff");
    writePendingFile(damaged);
    ::chmod((dir / pendingFile().relative_path()).c_str(), 0000);
    answerStatuses({503});
    TelemetryService service(configuration());
    ASSERT_TRUE(service.waitUntilIdle());
    EXPECT_TRUE(logs.contains("Telemetry: skipped 1 unreadable pending events"));
    service.track("app_launched", {});
    ASSERT_TRUE(service.waitUntilIdle());
    EXPECT_EQ(fileNames(), (std::vector<std::string>{"window_closed", "app_launched"}));
    EXPECT_EQ(fs->snapshot().at(pendingFile()).mode & 0777, 0600u);  // not the 000 it replaced
  }
  for (const std::filesystem::path& target : {std::filesystem::path("/dev/zero"), dir / "notes.txt"}) {
    fs->removeItem(pendingFile());
    std::ofstream(dir / "notes.txt") << "the person's own file\n";
    std::filesystem::create_symlink(target, dir / pendingFile().relative_path());
    answerStatuses({503});
    TelemetryService service(configuration());
    service.track("app_launched", {});
    ASSERT_TRUE(service.waitUntilIdle());
    EXPECT_TRUE(logs.contains("Telemetry: the pending events file is a symbolic link; it is left alone and not used"));
    EXPECT_TRUE(logs.contains("Telemetry: the pending events file is a symbolic link; not writing through it"));
    EXPECT_EQ(fs->contents("/notes.txt"), "the person's own file\n");
  }
  // Too large to be a queue: refused before it is read.
  fs->removeItem(pendingFile());
  writePendingFile("[" + std::string(9u << 20, ' ') + "]");
  TelemetryService service(configuration());
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_TRUE(logs.contains("couldn\u2019t be opened because it is larger than 8 MB."));
}

TEST_F(ServiceFixture, WithoutAnEndpointAndKeyEventsAreKeptButNeverSent) {
  for (auto [url, key] : {std::pair<std::string, std::string>{"", "key"}, {endpoint, ""}}) {
    auto unconfigured = configuration();
    unconfigured.endpointURL = url;
    unconfigured.anonKey = key;
    answerStatuses({201});
    TelemetryService service(unconfigured);
    service.track("app_launched", {});
    ASSERT_TRUE(service.waitUntilIdle());
    EXPECT_TRUE(http->requests().empty());
    EXPECT_EQ(fileNames(), std::vector<std::string>{"app_launched"});
    EXPECT_TRUE(
        logs.contains("Telemetry: no endpoint and key are built in; events are kept in the pending file and not sent"));
    fs->removeItem(pendingFile());
  }
}

// What the person typed, their home folder and their account name never leave
// in an event, wherever they sit in its data.
TEST_F(ServiceFixture, EventDataIsRedactedBeforeItIsQueued) {
  auto config = configuration();
  config.privateValues = PrivateValues{.homeFolder = "/Volumes/Data/alice", .accountName = "alice"};
  answerStatuses({201});
  TelemetryService service(config);
  service.rememberTypedValue("alice@example.org");
  service.track("remediation_failed", {{"error_text", "fatal: unable to auto-detect email for alice@example.org"},
                                       {"nested", JSONValue::Array{"cd /Volumes/Data/alice/work && ~alice/bin/x"}}});
  ASSERT_TRUE(service.waitUntilIdle());
  ASSERT_EQ(http->requests().size(), 1u);
  const auto data = nlohmann::json::parse(http->requests()[0].body)[0]["event_data"];
  EXPECT_EQ(data["error_text"], "fatal: unable to auto-detect email for <redacted>");
  EXPECT_EQ(data["nested"][0], "cd ~/work && ~/bin/x");
}

TEST_F(ServiceFixture, AFileSystemThatRefusesEveryWriteStillLetsEventsThrough) {
  auto faulty = std::make_shared<FaultInjectingFileSystem>(fs);
  faulty->failFromOperation(1, EACCES);
  answerStatuses({503, 201});
  TelemetryService service(configuration(faulty));
  service.track("app_launched", {});
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_TRUE(logs.contains("Telemetry: couldn't persist pending events: "));
  EXPECT_EQ(service.pendingEvents().size(), 0u);
  EXPECT_EQ(sentNames(), (std::vector<std::string>{"app_launched", "app_launched"}));
}

TEST_F(ServiceFixture, WithoutApplicationSupportThePendingFileGoesToTheTemporaryFolder) {
  auto faulty = std::make_shared<FaultInjectingFileSystem>(fs);
  faulty->failOperation(1, EACCES);  // applicationSupportDirectory
  auto path = TelemetryConfiguration::pendingFileIn(*faulty, "Benchkit");
  EXPECT_EQ(path.filename(), "pending-events.json");
  EXPECT_EQ(path.parent_path().filename(), "Benchkit");
  EXPECT_EQ(path.parent_path().parent_path(), std::filesystem::temp_directory_path());
}

TEST_F(ServiceFixture, AFetcherThatThrowsSomethingUnexpectedIsJustAFailedTry) {
  http->setHandler([](const HTTPRequest&) -> CannedAnswer { throw std::runtime_error("bug in a fetcher"); });
  TelemetryService service(configuration());
  service.track("app_launched", {});
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_EQ(http->requests().size(), 3u);
  EXPECT_EQ(fileNames(), std::vector<std::string>{"app_launched"});
  EXPECT_TRUE(logs.contains("bug in a fetcher"));

  http->setHandler([](const HTTPRequest&) -> CannedAnswer { throw 42; });
  service.track("consent_given", {});
  ASSERT_TRUE(service.waitUntilIdle());
  EXPECT_EQ(http->requests().size(), 6u);
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"app_launched", "consent_given"}));
}

TEST_F(ServiceFixture, ShutdownDoesNotWaitLongForARequestThatNeverEnds) {
  auto release = std::make_shared<std::promise<void>>();
  auto released = release->get_future().share();
  http->setHandler([released](const HTTPRequest&) -> CannedAnswer {
    released.wait();
    return CannedResponse{.statusCode = 201};
  });
  auto service = std::make_unique<TelemetryService>(configuration());
  service->track("app_quit", {});
  ASSERT_TRUE(eventually([&] { return http->requests().size() == 1; }));
  service->shutdown(std::chrono::milliseconds(50));
  service->track("ignored_after_shutdown", {});
  service.reset();  // returns although the request still hangs
  EXPECT_EQ(fileNames(), std::vector<std::string>{"app_quit"});
  EXPECT_TRUE(logs.contains("still running at shutdown"));
  release->set_value();  // the left-behind thread ends without touching the file
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(fileNames(), std::vector<std::string>{"app_quit"});
}

TEST_F(ServiceFixture, TrackingFromManyThreadsLosesNothingAndKeepsEachThreadsOrder) {
  answerStatuses({201});
  TelemetryService service(configuration());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&service, t] {
      for (int i = 0; i < 25; ++i) service.track("t" + std::to_string(t), {{"i", i}});
    });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(service.waitUntilIdle());
  auto requests = http->requests();
  ASSERT_EQ(requests.size(), 100u);
  std::map<std::string, int> next;
  for (const auto& request : requests) {
    auto record = nlohmann::json::parse(request.body)[0];
    EXPECT_EQ(record["event_data"]["i"].get<int>(), next[record["event_name"]]++);
  }
  EXPECT_FALSE(fs->fileExists(pendingFile()));
}

}  // namespace
}  // namespace bnch
