// Whole runs of benchkit-python in a simulated Mac, driven through the window as
// a person would: the screens reached, the simulated disk afterwards, and the
// usage events the local collector received.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <set>

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

// Walks a first launch to the end of what the window offers today: consent,
// welcome, the experience question, then the diagnosis (which has no screen yet).
// Returns the run's identifier.
std::string firstLaunch(MacApp& app) {
  app.launch();
  app.waitFor("consent-screen");
  app.screenshot("consent");
  app.click("consent-continue");
  app.waitFor("welcome-screen");
  app.screenshot("welcome");
  app.click("welcome-diagnose-button");
  app.waitFor("experience-screen");
  app.screenshot("experience");
  app.click("experience-learning");
  app.waitFor("setup-not-built");
  app.screenshot("setup-not-built");
  app.waitForEvent("diagnosis_reached");
  return text(app.waitForEvent("app_launched"), "run_id");
}

// Every record has the wire shape, and every name is one of the catalogue's.
void expectCatalogueShapes(MacApp& app) {
  EXPECT_THAT(app.collector().violations(), ::testing::IsEmpty());
  const std::set<std::string> catalogue = {
      std::string(usage_events::names::appLaunched),      std::string(usage_events::names::appQuit),
      std::string(usage_events::names::windowClosed),     std::string(usage_events::names::previousRunUnclean),
      std::string(usage_events::names::consentGiven),     std::string(usage_events::names::experienceBucket),
      std::string(usage_events::names::diagnosisReached),
  };
  for (const JSONObject& record : app.collector().delivered()) {
    EXPECT_TRUE(catalogue.contains(text(record, "event_name"))) << encodeJSON(record);
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

TEST(Stories, AFreshMacAsFarAsTheWindowGoesThenASecondLaunch) {
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
  app.click("welcome-diagnose-button");
  app.waitFor("setup-not-built");
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

}  // namespace
}  // namespace bnch::e2e
