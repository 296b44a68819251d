// The progress screen's run, with a scripted runner: what the person sees, what
// is reported, and how each remediation ends.
#include "engine/workflow/action_progress_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/product/python_product.h"
#include "engine/workflow/spine_render_policy.h"
#include "tests/support/recording_usage_event_tracker.h"
#include "tests/support/scripted_remediation_runner.h"

namespace bnch {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::RecordingUsageEventTracker;
using testing::ScriptedRemediationRunner;
using Kind = SetupRemediation::Kind;
using Clock = std::chrono::steady_clock;

// Polls for up to 3 seconds.
bool eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 3000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return condition();
}

RemediationEvent out(std::string text) { return RemediationEvent::output(std::move(text)); }
RemediationEvent done(std::int32_t code) { return RemediationEvent::completed(code); }

// An event's name and the data keys a story cares about.
struct Expected {
  std::string name;
  JSONObject data;
};

struct Story {
  std::string name;
  std::vector<SetupRemediation> remediations;
  std::map<std::string, ScriptedRemediationRunner::Script> scripts;
  bool continuesPastFailure = false;
  std::map<std::string, std::string> missingAfterInstall;  // remediation id -> post-install sentence
  std::vector<std::string> earlierRuns;                    // ids already attempted in this process
  // Expected:
  std::vector<std::string> ran;
  std::vector<std::string> lines;
  std::vector<Expected> events;
  ActionProgressRun::Result result;
  std::vector<std::string> clipboard = {};
  std::vector<std::string> opened = {};
};

class ActionProgressRunTest : public ::testing::Test {
 protected:
  ActionProgressServices services(const Story& story) {
    ActionProgressServices s;
    s.runner = runner;
    s.tracker = tracker;
    s.attempts = attempts;
    s.postInstallCheck = [story](const PostInstallCheck& check) -> std::optional<std::string> {
      for (const SetupRemediation& remediation : story.remediations) {
        const auto missing = story.missingAfterInstall.find(remediation.id());
        if (missing != story.missingAfterInstall.end() && remediation.postInstallCheck() == check) {
          return missing->second;
        }
      }
      return std::nullopt;
    };
    // Every reading of the clock is 250 ms after the one before.
    s.now = [ticks = std::make_shared<std::atomic<int>>(0)] {
      return Clock::time_point{} + std::chrono::milliseconds(250 * (*ticks)++);
    };
    s.privateValues = PrivateValues{{}, "/Users/alice", "alice"};
    s.onLine = [this](const std::string& line) { lines.push_back(line); };
    s.copyToClipboard = [this](const std::string& text) { clipboard.push_back(text); };
    s.openURL = [this](const std::string& url) { opened.push_back(url); };
    return s;
  }

  std::shared_ptr<ScriptedRemediationRunner> runner = std::make_shared<ScriptedRemediationRunner>();
  std::shared_ptr<RecordingUsageEventTracker> tracker = std::make_shared<RecordingUsageEventTracker>();
  std::shared_ptr<RemediationAttempts> attempts = std::make_shared<RemediationAttempts>();
  std::vector<std::string> lines, clipboard, opened;
};

TEST_F(ActionProgressRunTest, EachStoryShowsItsLinesReportsItsEventsAndEndsWithItsCode) {
  const auto uv = SetupRemediation::installUv(false);
  const auto mise = SetupRemediation::of(Kind::installMise);
  const auto rust = SetupRemediation::of(Kind::installRustViaMise);
  const auto node = SetupRemediation::of(Kind::installNodeViaMise);
  const auto warp = SetupRemediation::of(Kind::installWarp);
  const auto gh = SetupRemediation::of(Kind::githubAuth);
  const auto desktop = SetupRemediation::of(Kind::installClaudeDesktop);
  const std::string token = "ghp_" + std::string(36, 'a');
  std::vector<RemediationEvent> noisyFailure;
  for (int i = 1; i <= 10; ++i) noisyFailure.push_back(out("line " + std::to_string(i)));
  noisyFailure.push_back(out("auth " + token + " in /Users/alice/src"));
  noisyFailure.push_back(done(2));

  const std::vector<Story> stories = {
      {.name = "mise failed, so the languages that need it are skipped without a process",
       .remediations = {mise, rust, node},
       .scripts = {{"brew:mise", {{out("Error: no bottle"), done(1)}}}},
       .continuesPastFailure = true,
       .ran = {"brew:mise"},
       .lines = {"Error: no bottle", ActionProgressRun::skippingLine(rust.title()),
                 ActionProgressRun::skippingLine(node.title())},
       .events = {{"remediation_applied", {{"remediation_id", "brew:mise"}, {"attempt", 1}}},
                  {"remediation_failed", {{"reason", "nonzero_exit"}, {"exit_code", 1}, {"duration_ms", 250}}},
                  {"remediation_skipped", {{"remediation_id", "mise:rust"}, {"reason", "prerequisite_failed"}}},
                  {"remediation_skipped", {{"remediation_id", "mise:node@lts"}, {"reason", "prerequisite_failed"}}}},
       .result = {1, false, "Error: no bottle"}},
      {.name = "a device sign-in puts the code on the clipboard and opens the browser once",
       .remediations = {gh},
       .scripts = {{"git:gh-auth",
                    {{RemediationEvent::openBrowser("https://github.com/login/device", "AB12-CD34"), done(0)}}}},
       .ran = {"git:gh-auth"},
       .lines = {"Opened your browser. Your one-time code is AB12-CD34 (copied to the clipboard) — paste it and "
                 "authorize."},
       .events = {{"remediation_applied", {{"method", gh.method()}}},
                  {"remediation_completed", {{"exit_code", 0}, {"duration_ms", 250}, {"attempt", 1}}}},
       .result = {0, false, std::nullopt},
       .clipboard = {"AB12-CD34"},
       .opened = {"https://github.com/login/device"}},
      {.name = "a sign-in without a code, and an address that is no URL, opens nothing",
       .remediations = {gh},
       .scripts = {{"git:gh-auth", {{RemediationEvent::openBrowser("not a url", std::nullopt), done(0)}}}},
       .ran = {"git:gh-auth"},
       .lines = {"Opened your browser — follow the GitHub sign-in there."},
       .events = {{"remediation_applied", {}}, {"remediation_completed", {}}},
       .result = {0, false, std::nullopt}},
      {.name = "a retry counts as attempt 2",
       .remediations = {uv},
       .earlierRuns = {"brew:uv"},
       .ran = {"brew:uv"},
       .events = {{"remediation_applied", {{"attempt", 2}}}, {"remediation_completed", {{"attempt", 2}}}},
       .result = {0, false, std::nullopt}},
      {.name = "a non-zero exit reports the last 8 lines, redacted",
       .remediations = {uv},
       .scripts = {{"brew:uv", {noisyFailure}}},
       .ran = {"brew:uv"},
       .events = {{"remediation_applied", {}},
                  {"remediation_failed",
                   {{"reason", "nonzero_exit"},
                    {"exit_code", 2},
                    {"error_text",
                     "line 4\nline 5\nline 6\nline 7\nline 8\nline 9\nline 10\nauth <redacted> in ~/src"}}}},
       .result = {2, false, "line 4\nline 5\nline 6\nline 7\nline 8\nline 9\nline 10\nauth <redacted> in ~/src"}},
      {.name = "a runner that could not start is spawn_or_killed",
       .remediations = {uv},
       .scripts = {{"brew:uv", {{out("Homebrew isn't available yet — install Homebrew first."), done(-1)}}}},
       .ran = {"brew:uv"},
       .lines = {"Homebrew isn't available yet — install Homebrew first."},
       .events = {{"remediation_applied", {}},
                  {"remediation_failed", {{"reason", "spawn_or_killed"}, {"exit_code", -1}}}},
       .result = {-1, false, "Homebrew isn't available yet — install Homebrew first."}},
      {.name = "a post-install check that fails is only an event; the run goes on and succeeds",
       .remediations = {warp, desktop},
       .missingAfterInstall = {{"brew:warp", "the install reported success but Warp.app is not in /Applications"}},
       .ran = {"brew:warp", "brew:claude"},
       .events = {{"remediation_applied", {}},
                  {"remediation_failed",
                   {{"exit_code", 0},
                    {"reason", "postcheck_failed"},
                    {"error_text", "the install reported success but Warp.app is not in /Applications"}}},
                  {"remediation_applied", {}},
                  {"remediation_completed", {}},
                  {"claude_desktop_installed", {}}},
       .result = {0, false, std::nullopt}},
      {.name = "past a failure when the action allows it; the first failing code is the run's",
       .remediations = {warp, uv, desktop},
       .scripts = {{"brew:warp", {{done(3)}}}, {"brew:uv", {{done(4)}}}},
       .continuesPastFailure = true,
       .ran = {"brew:warp", "brew:uv", "brew:claude"},
       .events = {{"remediation_applied", {}},
                  {"remediation_failed", {{"exit_code", 3}}},
                  {"remediation_applied", {}},
                  {"remediation_failed", {{"exit_code", 4}}},
                  {"remediation_applied", {}},
                  {"remediation_completed", {}},
                  {"claude_desktop_installed", {}}},
       .result = {3, false, ""}},
      {.name = "without continuesPastFailure the first failure ends the run",
       .remediations = {warp, uv},
       .scripts = {{"brew:warp", {{done(3)}}}},
       .ran = {"brew:warp"},
       .events = {{"remediation_applied", {}}, {"remediation_failed", {{"exit_code", 3}}}},
       .result = {3, false, ""}},
      {.name = "a runner that reports canceled stops the run as canceled",
       .remediations = {uv, warp},
       .scripts = {{"brew:uv", {{RemediationEvent::canceled()}}}},
       .ran = {"brew:uv"},
       .events = {{"remediation_applied", {}}, {"remediation_canceled", {{"attempt", 1}}}},
       .result = {0, true, std::nullopt}},
  };

  for (const Story& story : stories) {
    SCOPED_TRACE(story.name);
    runner = std::make_shared<ScriptedRemediationRunner>();
    tracker = std::make_shared<RecordingUsageEventTracker>();
    attempts = std::make_shared<RemediationAttempts>();
    lines.clear();
    clipboard.clear();
    opened.clear();
    for (const auto& id : story.earlierRuns) attempts->begin(id);
    for (const auto& [id, script] : story.scripts) runner->script(id, script);

    ActionProgressRun run({story.remediations, story.continuesPastFailure, "reason", {}}, services(story));
    EXPECT_EQ(run.run(), story.result);
    EXPECT_EQ(runner->ranIDs(), story.ran);
    if (!story.lines.empty()) {
      EXPECT_EQ(lines, story.lines);
    }
    EXPECT_EQ(clipboard, story.clipboard);
    EXPECT_EQ(opened, story.opened);
    const auto events = tracker->events();
    ASSERT_EQ(events.size(), story.events.size()) << ::testing::PrintToString(tracker->names());
    for (std::size_t i = 0; i < events.size(); ++i) {
      EXPECT_EQ(events[i].name, story.events[i].name) << i;
      for (const auto& [key, value] : story.events[i].data) {
        const auto found = events[i].data.find(key);
        ASSERT_NE(found, events[i].data.end()) << i << " " << key;
        EXPECT_EQ(found->second, value) << i << " " << key;
      }
    }
  }
}

TEST_F(ActionProgressRunTest, TheRenderPolicyNamesThePasswordDialogsReason) {
  ProductConfig config = pythonProduct();
  auto policy = std::make_shared<SpineRenderPolicy>();
  policy->privilegedActionReason = "to install developer tools";
  policy->privilegedReasons = {{"brew:warp", "to install Warp"}};
  config.spinePolicy = policy;
  const PendingInstall install{
      "warp", "Install", {SetupRemediation::of(Kind::installWarp), SetupRemediation::installUv(false)}, false};
  ActionProgressRun(ActionProgressPlan::of(install, config), services({})).run();
  EXPECT_THAT(runner->calls(), ElementsAre(ScriptedRemediationRunner::Call{"brew:warp", "to install Warp"},
                                           ScriptedRemediationRunner::Call{"brew:uv", "to install developer tools"}));
  config.spinePolicy = nullptr;
  EXPECT_EQ(ActionProgressPlan::of(install, config).privilegedReasonFor("brew:uv"), "Benchkit for Python");
}

TEST_F(ActionProgressRunTest, AStepStillRunningAfterTwentyMinutesIsStoppedAsSpawnOrKilled) {
  runner->script("brew:uv", {{}, /*hangs=*/true});
  auto services = this->services({});
  // The watchdog's clock moves a second each time it sleeps.
  auto seconds = std::make_shared<std::atomic<int>>(0);
  services.keepAlive.now = [seconds] { return Clock::time_point{} + std::chrono::seconds(seconds->load()); };
  services.keepAlive.sleep = [seconds](double, const KeepAliveStopSignal& stop) {
    if (stop.stopRequested()) return false;
    ++*seconds;
    return true;
  };
  ActionProgressRun run({{SetupRemediation::installUv(false)}, false, "reason", {}}, services);
  const auto result = run.run();
  EXPECT_EQ(result.exitCode, -1);
  EXPECT_FALSE(result.canceled);
  EXPECT_EQ(lines.back(), RunStreamKeepAlive::progressTimeoutLine(1200));
  EXPECT_EQ(lines[0], RunStreamKeepAlive::progressHeartbeatLine(15)) << "silence shows heartbeats meanwhile";
  const auto failed = tracker->named("remediation_failed");
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0].data.at("reason"), JSONValue("spawn_or_killed"));
  EXPECT_TRUE(eventually([&] { return runner->cancellations() == 1; })) << "the install's own stream is stopped";
}

TEST_F(ActionProgressRunTest, CancelEndsTheRunAtOnceAndStartsNothingMore) {
  runner->script("brew:uv", {{out("Downloading uv…")}, /*hangs=*/true});
  ActionProgressRun run(
      {{SetupRemediation::installUv(false), SetupRemediation::of(Kind::installWarp)}, true, "reason", {}},
      services({}));
  std::optional<ActionProgressRun::Result> result;
  std::thread thread([&] { result = run.run(); });
  ASSERT_TRUE(eventually([&] { return tracker->named("remediation_applied").size() == 1; }));
  run.cancel();
  thread.join();
  ASSERT_TRUE(result);
  EXPECT_TRUE(result->canceled);
  EXPECT_EQ(result->lastErrorText, std::nullopt);
  EXPECT_THAT(tracker->names(), ElementsAre("remediation_applied", "remediation_canceled"));
  EXPECT_THAT(runner->ranIDs(), ElementsAre("brew:uv"));
  EXPECT_TRUE(eventually([&] { return runner->cancellations() == 1; })) << "the install's process is stopped";
}

}  // namespace
}  // namespace bnch
