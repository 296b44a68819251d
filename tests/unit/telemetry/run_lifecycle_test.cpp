#include "engine/telemetry/run_lifecycle.h"

#include <gtest/gtest.h>

#include "engine/telemetry/session_id.h"
#include "tests/support/memory_key_value_store.h"
#include "tests/support/recording_usage_event_tracker.h"

namespace bnch {
namespace {

using namespace std::chrono_literals;
using testing::MemoryKeyValueStore;
using testing::RecordingUsageEventTracker;

constexpr const char* thisRun = "aaaaaaaa-bbbb-4ccc-8ddd-eeeeeeeeeeee";

struct LifecycleFixture : ::testing::Test {
  std::shared_ptr<MemoryKeyValueStore> store = std::make_shared<MemoryKeyValueStore>();
  RecordingUsageEventTracker tracker;
  std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point{} + 1000s;
  RunLifecycle lifecycle{store, tracker, [this] { return now; }};
  std::string screen = "welcome";

  void appear(bool markRun = true, std::optional<SystemProfile> profile = std::nullopt) {
    lifecycle.appeared(thisRun, profile, markRun, [this] { return screen; });
  }
};

TEST_F(LifecycleFixture, FirstLaunchEverMarksTheRunWithoutReportingAnUncleanOne) {
  appear();
  EXPECT_EQ(tracker.names(), std::vector<std::string>{"app_launched"});
  EXPECT_EQ(tracker.events()[0].data, JSONObject{});
  EXPECT_EQ(store->string(RunLifecycle::runInProgressKey), thisRun);
  EXPECT_TRUE(lifecycle.observersRegistered());
}

TEST_F(LifecycleFixture, LaunchAfterAForcedQuitReportsThePreviousRunOnce) {
  store->set(StoredValue(std::string("11111111-2222-4333-8444-555555555555")), RunLifecycle::runInProgressKey);
  appear();
  now += 30s;
  appear();
  auto unclean = tracker.named("previous_run_unclean");
  ASSERT_EQ(unclean.size(), 1u);
  EXPECT_EQ(unclean[0].data, (JSONObject{{"previous_run_id", "11111111-2222-4333-8444-555555555555"}}));
  EXPECT_EQ(tracker.names(), (std::vector<std::string>{"app_launched", "previous_run_unclean", "app_reopened"}));
  EXPECT_EQ(store->string(RunLifecycle::runInProgressKey), thisRun);
}

TEST_F(LifecycleFixture, TheSameRunOrAnEmptyMarkerIsNotUnclean) {
  store->set(StoredValue(std::string(thisRun)), RunLifecycle::runInProgressKey);
  appear();
  EXPECT_TRUE(tracker.named("previous_run_unclean").empty());

  auto emptyStore = std::make_shared<MemoryKeyValueStore>();
  emptyStore->set(StoredValue(std::string()), RunLifecycle::runInProgressKey);
  RecordingUsageEventTracker otherTracker;
  RunLifecycle second(emptyStore, otherTracker);
  second.appeared(thisRun, std::nullopt, true, {});
  EXPECT_EQ(otherTracker.names(), std::vector<std::string>{"app_launched"});
}

TEST_F(LifecycleFixture, CleanQuitRemovesTheMarkerAndSendsQuitOnce) {
  appear();
  now += 125s + 900ms;
  screen = "outcome";
  lifecycle.willTerminate();
  lifecycle.willTerminate();
  EXPECT_FALSE(store->string(RunLifecycle::runInProgressKey));
  auto quits = tracker.named("app_quit");
  ASSERT_EQ(quits.size(), 1u);
  EXPECT_EQ(quits[0].data, (JSONObject{{"last_screen", "outcome"}, {"uptime_s", 125}}));
}

TEST(RunLifecycleQuit, TheQuitHookRunsAfterTheQuitEventWasHandedOver) {
  auto store = std::make_shared<MemoryKeyValueStore>();
  RecordingUsageEventTracker tracker;
  std::vector<std::string> seenByHook;
  RunLifecycle lifecycle(store, tracker, {}, [&] { seenByHook = tracker.names(); });
  lifecycle.appeared(thisRun, std::nullopt, true, {});
  lifecycle.willTerminate();
  EXPECT_EQ(seenByHook, (std::vector<std::string>{"app_launched", "app_quit"}));
}

TEST_F(LifecycleFixture, FixtureModeLaunchesButNeverTouchesTheMarker) {
  store->set(StoredValue(std::string("11111111-2222-4333-8444-555555555555")), RunLifecycle::runInProgressKey);
  appear(/*markRun=*/false);
  lifecycle.willTerminate();
  lifecycle.windowWillClose(false, false, true);
  EXPECT_EQ(tracker.names(), std::vector<std::string>{"app_launched"});
  EXPECT_EQ(store->string(RunLifecycle::runInProgressKey), "11111111-2222-4333-8444-555555555555");
  EXPECT_FALSE(lifecycle.observersRegistered());
}

TEST_F(LifecycleFixture, ReopeningReportsWholeSecondsSinceTheLastAppearance) {
  appear();
  now += 90700ms;
  screen = "workflow";
  appear();
  now += 4s;
  appear();
  auto reopened = tracker.named("app_reopened");
  ASSERT_EQ(reopened.size(), 2u);
  EXPECT_EQ(reopened[0].data, (JSONObject{{"gap_s", 90}, {"last_screen", "workflow"}}));
  EXPECT_EQ(reopened[1].data.at("gap_s"), JSONValue(4));
  EXPECT_EQ(tracker.named("app_launched").size(), 1u);
}

TEST_F(LifecycleFixture, LaunchCarriesTheProfileWhenProfilingHasFinished) {
  SystemProfile profile;
  profile.architecture = Architecture::appleSilicon;
  profile.macosVersion = {14, 2, 0};
  appear(true, profile);
  auto data = tracker.events()[0].data;
  EXPECT_EQ(data.at("macos_major"), JSONValue(14));
  EXPECT_EQ(data.at("arch"), JSONValue("arm64"));
}

TEST_F(LifecycleFixture, OnlyTheMainWindowClosingIsReportedAndOnlyOnce) {
  appear();
  now += 61s;
  lifecycle.windowWillClose(/*isSheet=*/true, false, true);
  lifecycle.windowWillClose(false, /*hasParent=*/true, true);
  lifecycle.windowWillClose(false, false, /*canBecomeMain=*/false);
  EXPECT_TRUE(tracker.named("window_closed").empty());
  lifecycle.windowWillClose(false, false, true);
  lifecycle.windowWillClose(false, false, true);
  auto closed = tracker.named("window_closed");
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].data, (JSONObject{{"last_screen", "welcome"}, {"uptime_s", 61}}));
}

TEST_F(LifecycleFixture, QuittingDuringAnInstallIsRefusedWithTheAlert) {
  appear();
  lifecycle.beginInstall();
  lifecycle.beginInstall();
  auto refusal = lifecycle.shouldTerminate();
  EXPECT_FALSE(refusal.terminate);
  EXPECT_EQ(refusal.messageText, "An install is still running");
  EXPECT_EQ(refusal.informativeText, "Let it finish before quitting — stopping now could leave the install half-done.");
  EXPECT_EQ(refusal.buttonTitle, "OK");
  EXPECT_FALSE(lifecycle.shouldTerminateAfterLastWindowClosed());
  EXPECT_TRUE(tracker.named("app_quit").empty());

  lifecycle.endInstall();
  EXPECT_FALSE(lifecycle.shouldTerminate().terminate);
  lifecycle.endInstall();
  EXPECT_TRUE(lifecycle.shouldTerminate().terminate);
  EXPECT_TRUE(lifecycle.shouldTerminateAfterLastWindowClosed());
}

TEST_F(LifecycleFixture, AnUnmatchedEndNeverBlocksQuittingLater) {
  lifecycle.endInstall();
  EXPECT_EQ(lifecycle.inFlightCount(), 0);
  lifecycle.beginInstall();
  lifecycle.endInstall();
  EXPECT_TRUE(lifecycle.shouldTerminate().terminate);
}

// ---- Session identity ----

TEST(SessionIDTest, KeepsAValidIdentityAndReplacesADamagedOne) {
  auto store = std::make_shared<MemoryKeyValueStore>();
  SessionID session(store, "com.example.bench.session_id");

  UUID created = session.current();
  EXPECT_EQ(store->string("com.example.bench.session_id"), created.uuidString());
  EXPECT_EQ(session.current(), created);

  store->set(StoredValue(std::string("6ba7b810-9dad-41d1-80b4-00c04fd430c8")), "com.example.bench.session_id");
  EXPECT_EQ(session.current().lowercaseString(), "6ba7b810-9dad-41d1-80b4-00c04fd430c8");

  store->set(StoredValue(std::string("not-a-uuid")), "com.example.bench.session_id");
  UUID replaced = session.current();
  EXPECT_NE(replaced.lowercaseString(), "6ba7b810-9dad-41d1-80b4-00c04fd430c8");
  EXPECT_EQ(store->string("com.example.bench.session_id"), replaced.uuidString());
  EXPECT_EQ(session.current(), replaced);
}

TEST(SessionIDTest, AWronglyTypedStoredValueIsReplaced) {
  auto store = std::make_shared<MemoryKeyValueStore>();
  store->set(StoredValue(std::int64_t{42}), "k.session_id");
  UUID identity = SessionID(store, "k.session_id").current();
  EXPECT_EQ(store->string("k.session_id"), identity.uuidString());
}

}  // namespace
}  // namespace bnch
