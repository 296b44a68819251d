// Whole runs of benchkit-python in a simulated Mac, driven through the window as
// a person would: the screens reached, the simulated disk afterwards, and the
// usage events the local collector received.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <map>
#include <set>
#include <thread>

#include "driver/mac_app.h"
#include "engine/telemetry/usage_events.h"

namespace bnch::e2e {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

std::string text(const JSONObject& object, const std::string& key) {
  const auto it = object.find(key);
  const auto* value = it == object.end() ? nullptr : std::get_if<std::string>(&it->second.value);
  return value ? *value : "";
}

JSONObject data(const JSONObject& record) {
  const auto it = record.find("event_data");
  const auto* value = it == record.end() ? nullptr : std::get_if<JSONObject>(&it->second.value);
  return value ? *value : JSONObject{};
}

std::string fileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The user-defaults file of the program in the simulated home (the portable
// store keeps one JSON file per domain).
std::string storedDefaults(MacApp& app) {
  for (const auto& entry : fs::directory_iterator(app.home() / "Library" / "Preferences")) {
    if (entry.path().filename().string().starts_with("com.quillora.benchkit-python")) return fileText(entry.path());
  }
  return "";
}

// Walks a first launch to the diagnosis: consent, welcome, the experience
// question, then the diagnosis. Returns the run's identifier.
std::string firstLaunch(MacApp& app) {
  app.launch();
  app.waitFor("consent-screen");
  app.screenshot("consent");
  app.click("consent-continue");
  app.waitFor("welcome-screen");
  app.screenshot("welcome");
  // "app_launched" follows the window's own profile, which the diagnosis's own
  // profile could overtake: wait for it so the stories see one order of events.
  app.waitForEvent("app_launched");
  app.click("welcome-diagnose-button");
  app.waitFor("experience-screen");
  app.screenshot("experience");
  app.click("experience-learning");
  app.waitFor("diagnosis-screen", 60s);
  app.screenshot("diagnosis");
  app.waitForEvent("diagnosis_reached");
  return text(app.waitForEvent("app_launched"), "run_id");
}

// On the stage `domain`, runs the install an action button starts (none: one
// already started), through to its Continue; the install must have ended
// without a failure.
void install(MacApp& app, const std::string& domain, const std::string& action) {
  app.waitFor("stage-" + domain);
  if (!action.empty()) app.click(action);
  app.waitFor("setup-action-progress-view");
  app.waitFor("setup-action-continue", 180s);
  app.screenshot("progress-" + domain);
  app.click("setup-action-continue");
  if (app.isShown("failure-ramp")) {
    ADD_FAILURE() << action << " failed: " << app.property("failure-ramp-text", "text").dump();
  }
}

// Skips each of these stages, in turn.
void skip(MacApp& app, std::initializer_list<const char*> domains) {
  for (const char* domain : domains) {
    app.waitFor(std::string("stage-") + domain);
    app.click("stage-skip");
  }
}

// Presses "Skip" on every stage and "Finish here" at the gate until the outcome.
void skipToOutcome(MacApp& app) {
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (!app.isShown("outcome-screen") && std::chrono::steady_clock::now() < deadline) {
    if (app.isShown("keep-going-screen")) {
      app.click("finish-here");
    } else if (app.isShown("stage-skip")) {
      app.click("stage-skip");
    }
    std::this_thread::sleep_for(100ms);
  }
  app.waitFor("outcome-screen", 60s);
}

// The keys of each event's data, as the catalogue gives them (those sent in
// these stories).
const std::map<std::string, std::set<std::string>>& eventKeys() {
  static const std::map<std::string, std::set<std::string>> keys = {
      {"consent_given", {}},
      {"experience_bucket", {"bucket"}},
      {"app_launched",
       {"macos_major", "macos_minor", "arch", "shell", "has_homebrew", "has_sdkman", "has_mise", "has_jenv", "has_asdf",
        "has_xcode_clt", "is_admin"}},
      {"app_quit", {"last_screen", "uptime_s"}},
      {"window_closed", {"last_screen", "uptime_s"}},
      {"previous_run_unclean", {"previous_run_id"}},
      {"network_check",
       {"verdict", "endpoints_reachable", "endpoints_total", "down_mbps", "estimated_install_seconds"}},
      {"network_warning_action", {"action", "verdict"}},
      {"disk_space_check", {"verdict", "worst_case_gb", "headroom_gb", "available_gb"}},
      {"disk_warning_action", {"action", "verdict"}},
      {"macos_advisory_action", {"action", "macos_major"}},
      {"diagnosis_reached",
       {"reason", "fixable_count", "blocked_count", "fixable_domains", "blocked_domains", "terminal_count",
        "terminals"}},
      {"competing_owner_surfaced", {"owner"}},
      {"competing_owner_action", {"owner", "action"}},
      {"remediation_applied", {"remediation_id", "method", "attempt"}},
      {"remediation_completed", {"remediation_id", "exit_code", "duration_ms", "attempt"}},
      {"remediation_failed", {"remediation_id", "exit_code", "reason", "duration_ms", "error_text", "attempt"}},
      {"verify_passed", {"cli_version_excerpt", "engine_outcome"}},
      {"verify_failed", {"engine_outcome", "exit_code", "failed_checks"}},
      {"outcome_reported", {"engine_outcome", "self_report"}},
      {"nps_shown", {}},
      {"nps_submitted", {"score", "reason"}},
      {"claude_desktop_installed", {}},
      {"claude_cli_installed", {}},
      {"offer_shown", {"offer_id", "offer_surface", "eligibility_reason", "next_step", "goal"}},
      {"offer_action", {"offer_id", "offer_surface", "action", "result", "next_step"}},
  };
  return keys;
}

// Every record has the wire shape, a name of the catalogue and no data key the
// catalogue does not give that name.
void expectCatalogueShapes(MacApp& app) {
  EXPECT_THAT(app.collector().violations(), ::testing::IsEmpty());
  for (const JSONObject& record : app.collector().delivered()) {
    const std::string name = text(record, "event_name");
    const auto known = eventKeys().find(name);
    ASSERT_NE(known, eventKeys().end()) << encodeJSON(record);
    for (const auto& [key, value] : data(record)) EXPECT_TRUE(known->second.contains(key)) << name << ": " << key;
    EXPECT_EQ(text(record, "app_id"), "bnch-python");
    EXPECT_EQ(text(record, "app_version"), BNCH_E2E_APP_VERSION " (" BNCH_E2E_BUILD_NUMBER ")");
    EXPECT_EQ(text(record, "session_id").size(), 36u);
  }
}

// The events so far, without "window_closed": quitting closes the window too, and
// whether that counts as a close is the run lifecycle's business, not a story's.
std::vector<std::string> eventsSoFar(const MacApp& app) {
  std::vector<std::string> names = app.eventNamesSentOrPending();
  std::erase(names, "window_closed");
  return names;
}

TEST(Stories, AFreshMacToTheDiagnosisThenASecondLaunchAsksNothingAgain) {
  if (!systest::sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  MacApp app("fresh-mac");
  firstLaunch(app);
  EXPECT_EQ(app.quit(), 0);

  EXPECT_THAT(eventsSoFar(app),
              ElementsAre("consent_given", "app_launched", "experience_bucket", "diagnosis_reached", "app_quit"));
  const JSONObject launched = data(app.waitForEvent("app_launched"));
  EXPECT_EQ(launched.at("arch"), JSONValue("arm64"));
  EXPECT_EQ(launched.at("macos_major"), JSONValue(15));
  EXPECT_EQ(launched.at("has_xcode_clt"), JSONValue(false));
  EXPECT_EQ(launched.at("is_admin"), JSONValue(true));
  EXPECT_EQ(data(app.waitForEvent("experience_bucket")).at("bucket"), JSONValue("learning"));
  EXPECT_EQ(data(app.waitForEvent("diagnosis_reached")).at("fixable_count"), JSONValue(5));

  // Only the program's own settings were written; the person's start-up files were not touched.
  const std::string defaults = storedDefaults(app);
  EXPECT_THAT(defaults, HasSubstr("\"com.quillora.bnch.python.consented\": true"));
  EXPECT_THAT(defaults, HasSubstr("\"com.quillora.bnch.python.experience_bucket\": \"learning\""));
  EXPECT_THAT(defaults, Not(HasSubstr("bnch_run_in_progress")));
  for (const char* file : {".zprofile", ".zshrc", ".env"}) EXPECT_FALSE(fs::exists(app.home() / file)) << file;

  // The second launch: no consent, no experience question, and the first run quit
  // cleanly. Closing the last window ends the program as cleanly as quitting.
  app.launch();
  app.waitFor("welcome-screen");
  app.waitForEvent("app_launched", 2);
  app.click("welcome-diagnose-button");
  app.waitFor("diagnosis-screen", 60s);
  EXPECT_FALSE(app.isShown("experience-screen"));
  app.waitForEvent("diagnosis_reached", 2);
  EXPECT_EQ(app.closeWindow(), 0);
  EXPECT_THAT(eventsSoFar(app), ElementsAre("consent_given", "app_launched", "experience_bucket", "diagnosis_reached",
                                            "app_quit", "app_launched", "diagnosis_reached", "app_quit"));
  const std::vector<std::string> all = app.eventNamesSentOrPending();
  ASSERT_GE(all.size(), 2u);
  EXPECT_THAT(std::vector(all.end() - 2, all.end()), ElementsAre("window_closed", "app_quit"));
  expectCatalogueShapes(app);
}

constexpr const char* firecrawlKey = "fc-0123456789abcdef0123456789abcdef";

TEST(Stories, AFreshMacThroughThePrimaryPathToTheOutcomeAndBackHome) {
  if (!systest::sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  MacApp app("fresh-mac");
  firstLaunch(app);
  app.click("diagnosis-continue");
  app.waitFor("stage-clt", 60s);  // a fresh Mac online with room to spare: no readiness warning
  app.screenshot("stage-clt");
  install(app, "clt", "clt");  // the password dialog is the simulated Mac's osascript
  install(app, "shell-config", "shell-config");
  install(app, "homebrew", "homebrew");
  app.waitFor("stage-warp");
  app.screenshot("stage-warp");
  skip(app, {"warp"});
  install(app, "python", "brew:uv");
  install(app, "python-project", "create-project");
  app.click("keep-going");
  install(app, "ai-claude", "install-selected");  // Claude Desktop and Claude Code, ticked by default
  skip(app, {"codex", "project"});
  app.waitFor("stage-skills");
  app.click("skill-downloads-cleanup");
  install(app, "skills", "add-skills");
  app.waitFor("stage-mcp");
  app.click("mcp-firecrawl");
  app.type("mcp-key-firecrawl", firecrawlKey);
  app.screenshot("stage-mcp");
  install(app, "mcp", "add-mcp");
  skip(app, {"editor", "notes", "languages", "agent-docs"});
  app.waitFor("stage-git");
  app.type("git-name", "Alice Liddell");
  app.type("git-email", "alice@example.com");
  app.click("git-setup");
  app.waitForText("copied to the clipboard", 60s);
  install(app, "git", "");  // the last stage: verification follows
  app.waitFor("outcome-screen", 120s);
  app.screenshot("outcome");
  EXPECT_FALSE(app.isShown("outcome-limitation"));
  app.click("outcome-resolved");
  app.waitFor("satisfaction-screen");
  app.click("satisfaction-score-9");
  app.type("satisfaction-reason", "Clear steps, and it worked.");
  app.click("satisfaction-submit");
  app.waitFor("satisfaction-thanks");
  app.screenshot("satisfaction");
  app.click("satisfaction-done");
  app.waitFor("welcome-screen");
  EXPECT_EQ(app.quit(), 0);

  // The events, each once and in order.
  const std::vector<std::string> events = eventsSoFar(app);
  std::vector<std::string> expected = {"consent_given",     "app_launched",  "experience_bucket",
                                       "diagnosis_reached", "network_check", "disk_space_check"};
  const auto installs = [&expected](int count) {
    for (int i = 0; i < count; ++i) expected.insert(expected.end(), {"remediation_applied", "remediation_completed"});
  };
  installs(3);  // Command Line Tools, shell configuration, Homebrew
  expected.insert(expected.end(), {"offer_shown", "offer_action"});
  installs(1);  // uv
  expected.push_back("verify_passed");
  installs(2);  // the example project, Claude Desktop
  expected.push_back("claude_desktop_installed");
  installs(1);
  expected.push_back("claude_cli_installed");
  installs(6);  // two skills, Firecrawl, the Git identity, the GitHub CLI, the sign-in
  expected.insert(expected.end(), {"outcome_reported", "nps_shown", "nps_submitted", "app_quit"});
  EXPECT_EQ(events, expected);
  std::vector<std::string> installed;
  for (const JSONObject& record : app.collector().delivered()) {
    if (text(record, "event_name") != "remediation_completed") continue;
    installed.push_back(text(data(record), "remediation_id"));
    EXPECT_EQ(data(record).at("attempt"), JSONValue(1));
  }
  EXPECT_THAT(installed, ElementsAre("clt", "shell-config", "homebrew", "brew:uv", "example:python", "brew:claude",
                                     "brew:claude-code@latest", "skill:avoid-ai-writing", "skill:downloads-cleanup",
                                     "mcp:firecrawl", "git:config", "brew:gh", "git:gh-auth"));
  EXPECT_EQ(data(app.waitForEvent("network_check")).at("verdict"), JSONValue("ok"));
  EXPECT_EQ(data(app.waitForEvent("offer_action")).at("action"), JSONValue("dismissed"));
  EXPECT_EQ(data(app.waitForEvent("verify_passed")).at("engine_outcome"), JSONValue("likely_resolved"));
  EXPECT_EQ(data(app.waitForEvent("outcome_reported")).at("self_report"), JSONValue("resolved"));
  const JSONObject feedback = data(app.waitForEvent("nps_submitted"));
  EXPECT_EQ(feedback.at("score"), JSONValue(9));
  EXPECT_EQ(feedback.at("reason"), JSONValue("Clear steps, and it worked."));
  expectCatalogueShapes(app);

  // The disk holds what a Mac set up this way holds, and each start-up file the
  // run changed after creating it has its backup beside it.
  const fs::path home = app.home(), root = home.parent_path().parent_path();
  for (const char* path :
       {"Library/Developer/CommandLineTools/usr/bin", "opt/homebrew/bin/brew", "opt/homebrew/bin/uv"})
    EXPECT_TRUE(fs::exists(root / path)) << path;
  EXPECT_FALSE(fs::is_empty(home / ".local/share/uv/python"));
  const std::string zprofile = fileText(home / ".zprofile");
  const std::string shellenv = "eval \"$(/opt/homebrew/bin/brew shellenv)\"\n";
  EXPECT_THAT(zprofile, HasSubstr(shellenv));
  EXPECT_EQ(zprofile.find(shellenv), zprofile.rfind(shellenv));
  EXPECT_THAT(zprofile, HasSubstr("export PATH=\"$HOME/.local/bin:$PATH\""));
  for (const char* file : {".zprofile", ".zshrc"}) {
    const std::string backup = fileText(home / (std::string(file) + ".bak"));
    EXPECT_FALSE(backup.empty()) << file;
    EXPECT_TRUE(fileText(home / file).starts_with(backup)) << file << " lost what it held before";
  }
  EXPECT_EQ(fs::status(home / ".env").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(fs::exists(home / "Documents/Python-Example-Project/pyproject.toml"));
  const std::string gitconfig = fileText(home / ".gitconfig");
  EXPECT_THAT(gitconfig, HasSubstr("name = Alice Liddell"));
  EXPECT_THAT(gitconfig, HasSubstr("email = alice@example.com"));
  // The sign-in opened the browser once, at GitHub's device page.
  EXPECT_EQ(fileText(root / ".macsim/state/opened"), "https://github.com/login/device\n");

  // The Firecrawl key is in Claude Code's configuration, which only the person may
  // read, and in no usage event and no line the program logged.
  EXPECT_THAT(fileText(home / ".claude.json"), HasSubstr(firecrawlKey));
  EXPECT_EQ(fs::status(home / ".claude.json").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  for (const auto& received : app.collector().received()) EXPECT_THAT(received.body, Not(HasSubstr(firecrawlKey)));
  EXPECT_THAT(app.programOutput(), Not(HasSubstr(firecrawlKey)));
  EXPECT_THAT(app.programOutput(), Not(HasSubstr("0123456789abcdef")));

  // A second launch finds the Mac set up: nothing asked again, only the declined
  // Warp offer left, and no report of an unclean end.
  app.launch();
  app.click("welcome-diagnose-button");
  app.waitFor("diagnosis-screen", 60s);
  EXPECT_FALSE(app.isShown("experience-screen"));
  const JSONObject second = data(app.waitForEvent("diagnosis_reached", 2));
  EXPECT_EQ(second.at("fixable_domains"), JSONValue(JSONValue::Array{JSONValue("warp")}));
  EXPECT_EQ(second.at("blocked_count"), JSONValue(0));
  EXPECT_EQ(app.quit(), 0);
  EXPECT_THAT(app.eventNames(), Not(::testing::Contains("previous_run_unclean")));
}

TEST(Stories, AKilledRunIsReportedOnceByTheNextLaunch) {
  if (!systest::sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  MacApp app("fresh-mac");
  const std::string killedRun = firstLaunch(app);
  EXPECT_EQ(app.kill(), 128 + SIGKILL);

  // The next launch reports the killed run, and what the person chose before is kept.
  app.launch();
  app.waitFor("welcome-screen");
  const JSONObject unclean = app.waitForEvent("previous_run_unclean");
  EXPECT_EQ(data(unclean).at("previous_run_id"), JSONValue(killedRun));
  EXPECT_EQ(app.quit(), 0);

  // A clean quit ends the matter: the launch after it reports nothing.
  app.launch();
  app.waitFor("welcome-screen");
  app.waitForEvent("app_launched", 3);
  EXPECT_EQ(app.quit(), 0);
  EXPECT_THAT(eventsSoFar(app),
              ElementsAre("consent_given", "app_launched", "experience_bucket", "diagnosis_reached",  // killed here
                          "app_launched", "previous_run_unclean", "app_quit", "app_launched", "app_quit"));
  EXPECT_THAT(storedDefaults(app), HasSubstr("\"com.quillora.bnch.python.consented\": true"));
  expectCatalogueShapes(app);
}

TEST(Stories, ARunKilledDuringAnInstallIsReportedOnceAndDamagesNothing) {
  if (!systest::sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  MacApp app("fresh-mac");
  firstLaunch(app);
  const fs::path home = app.home(), root = home.parent_path().parent_path();
  const char* const startupFiles[] = {".zprofile", ".zshrc", ".bash_profile", ".env"};
  std::map<std::string, std::string> before;
  for (const char* file : startupFiles) before[file] = fileText(home / file);
  app.click("diagnosis-continue");
  app.waitFor("stage-clt", 60s);  // a fresh Mac online with room to spare: no readiness warning
  app.click("clt");
  app.waitFor("setup-action-status");
  EXPECT_EQ(app.kill(), 128 + SIGKILL);

  app.launch();
  app.waitForEvent("previous_run_unclean");
  app.screenshot("after-killed-install");
  EXPECT_EQ(app.quit(), 0);
  const std::vector<std::string> events = app.eventNamesSentOrPending();
  EXPECT_EQ(std::count(events.begin(), events.end(), "previous_run_unclean"), 1);
  // Each start-up file holds what it held, or all of it followed by the
  // additions, with what it held in its one backup.
  for (const char* file : startupFiles) {
    const std::string now = fileText(home / file);
    if (now == before[file]) continue;
    EXPECT_TRUE(now.starts_with(before[file])) << file;
    EXPECT_EQ(fileText(home / (std::string(file) + ".bak")), before[file]) << file;
  }
  // A privileged folder the kill left behind is readable by its owner only.
  for (const fs::path& tmp : {root / "tmp", root / "private/tmp"}) {
    if (!fs::is_directory(tmp)) continue;
    for (const auto& entry : fs::directory_iterator(tmp)) {
      if (!entry.path().filename().string().starts_with("bnch-priv-")) continue;
      EXPECT_EQ(entry.status().permissions() & (fs::perms::group_all | fs::perms::others_all), fs::perms::none)
          << entry.path();
    }
  }
}

TEST(Stories, PyenvKeepsThePythonCommandAndTheOutcomeSaysSo) {
  if (!systest::sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  MacApp app("pyenv-owns-python");
  firstLaunch(app);
  const std::string zprofile = fileText(app.home() / ".zprofile");
  app.click("diagnosis-continue");
  app.waitFor("competing-owner-screen");
  app.screenshot("competing-owner");
  app.click("competing-owner-continue");
  skipToOutcome(app);
  app.screenshot("outcome-limitation");
  EXPECT_THAT(app.property("outcome-limitation", "text").get<std::string>(),
              ::testing::StartsWith("pyenv still controls the python command on this Mac."));
  EXPECT_EQ(app.quit(), 0);

  EXPECT_EQ(data(app.waitForEvent("competing_owner_surfaced")).at("owner"), JSONValue("pyenv"));
  const JSONObject action = data(app.waitForEvent("competing_owner_action"));
  EXPECT_EQ(action.at("owner"), JSONValue("pyenv"));
  EXPECT_EQ(action.at("action"), JSONValue("continue"));
  EXPECT_EQ(fileText(app.home() / ".zprofile"), zprofile);  // every stage skipped: nothing changed
  expectCatalogueShapes(app);
}

// The readiness warnings of a Mac without a network and of an old macOS, with
// each of their two choices.
TEST(Stories, ReadinessWarningsAndTheirChoices) {
  if (!systest::sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  struct Case {
    const char* scenario;
    const char* choice;  // "continue" or "stop"
    const char* event;
    JSONObject expected;
  };
  const Case cases[] = {
      {"offline",
       "continue",
       "network_warning_action",
       {{"action", JSONValue("continue")}, {"verdict", JSONValue("unreachable")}}},
      {"old-macos", "stop", "macos_advisory_action", {{"action", JSONValue("stop")}, {"macos_major", JSONValue(13)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    MacApp app(c.scenario);
    firstLaunch(app);
    app.click("diagnosis-continue");
    app.waitFor("readiness-screen");
    app.screenshot(std::string("readiness-") + c.scenario);
    app.click(std::string("readiness-") + c.choice);
    if (std::string_view(c.choice) == "stop") {
      app.waitFor("welcome-screen");
    } else {
      skipToOutcome(app);
      app.screenshot(std::string("outcome-") + c.scenario);
      // Offline, whether a package installs cannot be told: the checklist leaves it out.
      EXPECT_TRUE(app.showsText("A project can be created"));
      EXPECT_FALSE(app.showsText("A package installs and imports"));
    }
    EXPECT_EQ(data(app.waitForEvent(c.event)), c.expected);
    EXPECT_EQ(app.quit(), 0);
    expectCatalogueShapes(app);
  }
}

// A person who is not an administrator: the Command Line Tools cannot be
// installed, and the failure ramp says what to do instead.
TEST(Stories, AStandardUserCannotInstallTheCommandLineToolsAndIsToldWhatToDo) {
  if (!systest::sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  MacApp app("standard-user");
  firstLaunch(app);
  app.click("diagnosis-continue");
  app.click("clt");
  app.waitFor("setup-action-continue", 60s);
  app.click("setup-action-continue");
  app.waitFor("failure-ramp");
  app.screenshot("failure-ramp-standard-user");
  const std::string ramp = app.property("failure-ramp-text", "text").get<std::string>();
  EXPECT_THAT(ramp, HasSubstr("is not in the sudoers file."));
  EXPECT_THAT(ramp, HasSubstr("open Terminal and run  xcode-select --install"));
  EXPECT_TRUE(app.isShown("failure-ramp-copy"));
  EXPECT_EQ(app.quit(), 0);
  const JSONObject failed = data(app.waitForEvent("remediation_failed"));
  EXPECT_EQ(failed.at("remediation_id"), JSONValue("clt"));
  EXPECT_EQ(failed.at("reason"), JSONValue("nonzero_exit"));
  EXPECT_FALSE(fs::exists(app.home().parent_path().parent_path() / "Library/Developer/CommandLineTools"));
  expectCatalogueShapes(app);
}

// Goes through the stages to the outcome: a stage named in `installs` is
// installed by clicking those controls (the last starts the install), any other
// is skipped, the gate is passed.
void throughStages(MacApp& app, const std::map<std::string, std::vector<std::string>>& installs) {
  static const char* const domains[] = {"clt",       "shell-config", "homebrew",   "warp",   "python", "python-project",
                                        "ai-claude", "codex",        "project",    "skills", "mcp",    "editor",
                                        "notes",     "languages",    "agent-docs", "git"};
  std::set<std::string> done;
  const auto deadline = std::chrono::steady_clock::now() + 120s;
  while (!app.isShown("outcome-screen") && std::chrono::steady_clock::now() < deadline) {
    if (app.isShown("keep-going-screen")) app.click("keep-going");
    for (const char* domain : domains) {
      if (!app.isShown(std::string("stage-") + domain)) continue;
      const auto install = installs.find(domain);
      if (install != installs.end() && done.insert(domain).second) {
        for (std::size_t i = 0; i + 1 < install->second.size(); ++i) app.click(install->second[i]);
        bnch::e2e::install(app, domain, install->second.back());
      } else {
        app.click("stage-skip");
      }
      break;
    }
    std::this_thread::sleep_for(100ms);
  }
  app.waitFor("outcome-screen", 60s);
}

TEST(Stories, APersonsOwnSetUpKeepsEveryByteAndASecondRunChangesNothing) {
  if (!systest::sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  MacApp app(BNCH_E2E_SCENARIOS "/rich-mac.json");
  // A run from the diagnosis on: the stages named installed, every other skipped.
  const auto fullRun = [&app](const std::map<std::string, std::vector<std::string>>& installs) {
    app.click("diagnosis-continue", 60s);
    throughStages(app, installs);
    app.click("outcome-resolved");
    app.click("satisfaction-done");
    app.waitFor("welcome-screen");
    EXPECT_EQ(app.quit(), 0);
  };
  const std::map<std::string, std::vector<std::string>> agents = {{"ai-claude", {"install-selected"}},
                                                                  {"codex", {"install-selected"}}};
  firstLaunch(app);
  const fs::path home = app.home();
  const auto snapshot = [&home] {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(home)) {
      const std::string name = fs::relative(entry.path(), home).string();
      if (entry.is_regular_file() && !name.starts_with("Library") && !name.starts_with(".cache")) {
        files[name] = fileText(entry.path());
      }
    }
    return files;
  };
  const auto before = snapshot();
  auto withFirecrawl = agents;
  withFirecrawl["mcp"] = {"mcp-firecrawl", "add-mcp"};
  fullRun(withFirecrawl);
  const auto after = snapshot();
  // Text files keep the person's bytes with the additions after them; Claude
  // Code's JSON is read and written again, and keeps every value of theirs.
  EXPECT_EQ(after.at(".zshrc"), before.at(".zshrc"));
  for (const char* file : {".zprofile", ".codex/config.toml"}) {
    EXPECT_TRUE(after.at(file).starts_with(before.at(file))) << file;
  }
  const auto claude = nlohmann::json::parse(after.at(".claude.json"));
  const auto theirs = nlohmann::json::parse(before.at(".claude.json"));
  EXPECT_EQ(claude.at("numStartups"), theirs.at("numStartups"));
  EXPECT_EQ(claude.at("mcpServers").at("mine"), theirs.at("mcpServers").at("mine"));
  // Each file the run changed has one backup, holding what the person had.
  int changed = 0, backups = 0;
  for (const auto& [name, text] : before) {
    if (after.at(name) == text) continue;
    ++changed;
    EXPECT_EQ(after.contains(name + ".bak") ? after.at(name + ".bak") : "", text) << name;
  }
  for (const auto& [name, text] : after) backups += name.ends_with(".bak") ? 1 : 0;
  EXPECT_EQ(changed, 3);
  EXPECT_EQ(backups, changed);

  // The same run again changes nothing.
  app.launch();
  app.click("welcome-diagnose-button");
  fullRun(agents);  // Firecrawl is there now: it cannot be ticked again
  const auto again = snapshot();
  for (const auto& [name, text] : again) {
    EXPECT_TRUE(after.contains(name) && after.at(name) == text) << name << " changed in the second run:\n" << text;
  }
}

}  // namespace
}  // namespace bnch::e2e
