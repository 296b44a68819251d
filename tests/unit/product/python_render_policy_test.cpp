// The Python render policy: its tables and the evidence, decline, limitation,
// openable-app and outcome hooks.
#include "engine/product/python_render_policy.h"

#include <gtest/gtest.h>

#include "tests/support/recording_usage_event_tracker.h"

namespace bnch {
namespace {

using testing::RecordingUsageEventTracker;

const std::string kHome = "/Users/ada";

PythonInstall install(PythonInstall::Origin origin, std::string path, std::optional<std::string> version) {
  return {std::move(origin), std::move(path), std::move(version)};
}

const PythonInstall kApple = install(PythonInstall::Origin::apple(), "/usr/bin/python3", "3.9.6");
const PythonInstall kBrew = install(PythonInstall::Origin::homebrew(), "/opt/homebrew/bin/python3", "3.13.1");
const PythonInstall kUv =
    install(PythonInstall::Origin::uv(),
            kHome + "/.local/share/uv/python/cpython-3.12.4-macos-aarch64-none/bin/python3", "3.12.4");
const PythonInstall kPyenv =
    install(PythonInstall::Origin::competing("pyenv"), kHome + "/.pyenv/versions/3.11.9/bin/python", "3.11.9");
const PythonInstall kConda =
    install(PythonInstall::Origin::competing("conda"), kHome + "/miniconda3/bin/python3", std::nullopt);

SetupProbeBundle probes(std::vector<PythonInstall> installs, std::optional<std::string> python,
                        std::optional<std::string> python3) {
  SetupProbeBundle bundle;
  bundle.pythonInventory = PythonInventory{std::move(installs), kHome};
  PythonPathVerdict verdict;
  verdict.python.resolvedPath = std::move(python);
  verdict.python3.resolvedPath = std::move(python3);
  bundle.pythonPathVerdict = verdict;
  return bundle;
}

TEST(PythonEvidence, NoPythonAtAll) {
  const auto evidence = pythonDiagnosisEvidence(probes({}, std::nullopt, std::nullopt));
  ASSERT_TRUE(evidence);
  EXPECT_EQ(evidence->sections, (std::vector<DiagnosisEvidence::Section>{
                                    {"No Python is installed yet:", {"We did not find any Python on this Mac."}},
                                    {"What actually runs when you type the commands:",
                                     {"`python` \u2014 not found", "`python3` \u2014 not found"}}}));
  EXPECT_EQ(evidence->note, "Continuing will install and properly configure Python using the uv utility.");
}

TEST(PythonEvidence, RowsPerInstallAndWhatRuns) {
  SetupProbeBundle bundle = probes({kApple, kBrew, kUv}, "/opt/homebrew/bin/python3", kUv.path);
  bundle.pythonPathVerdict->python.resolvedTarget = "/opt/homebrew/Cellar/python@3.13/3.13.1/bin/python3.13";
  bundle.pythonPathVerdict->python.version = "3.13.1";
  const auto evidence = pythonDiagnosisEvidence(bundle);
  ASSERT_TRUE(evidence);
  EXPECT_EQ(evidence->sections[0].heading, "Python versions already installed:");
  EXPECT_EQ(
      evidence->sections[0].rows,
      (std::vector<std::string>{
          "Python 3.9.6 \u2014 Apple, in /usr/bin \u2014 only for macOS system use, not for you to use",
          "Python 3.13.1 \u2014 Homebrew, in /opt/homebrew/bin", "Python 3.12.4 \u2014 uv, in your home folder"}));
  EXPECT_EQ(evidence->sections[1].rows,
            (std::vector<std::string>{"`python` \u2014 Homebrew 3.13.1", "`python3` \u2014 uv 3.12.4"}));
  EXPECT_FALSE(evidence->note);  // python3 resolves to uv

  // The Homebrew install's version is the newest keg's, not necessarily the one
  // the command runs: without the command's own version, none is shown.
  bundle.pythonPathVerdict->python.version.reset();
  EXPECT_EQ(pythonDiagnosisEvidence(bundle)->sections[1].rows[0], "`python` \u2014 Homebrew");

  const auto unowned = pythonDiagnosisEvidence(probes({kConda}, "/usr/local/bin/python", std::nullopt));
  EXPECT_EQ(unowned->sections[0].rows, std::vector<std::string>{"Python \u2014 conda, in your home folder"});
  EXPECT_EQ(unowned->sections[1].rows[0], "`python` \u2014 found");
  EXPECT_TRUE(unowned->note);
}

TEST(PythonEvidence, MissingProbeResultsGiveNothing) {
  SetupProbeBundle bundle = probes({kApple}, std::nullopt, std::nullopt);
  bundle.pythonPathVerdict.reset();
  EXPECT_FALSE(pythonDiagnosisEvidence(bundle));
  EXPECT_FALSE(pythonPostDiagnosisDecline(bundle));
  EXPECT_FALSE(pythonOutcomeLimitation(bundle));
  EXPECT_FALSE(pythonDiagnosisEvidence(SetupProbeBundle{}));
  // An inventory without a home folder does not put every path "in your home folder".
  SetupProbeBundle homeless = probes({kBrew}, std::nullopt, std::nullopt);
  homeless.pythonInventory->homeDirectory.clear();
  EXPECT_EQ(pythonDiagnosisEvidence(homeless)->sections[0].rows[0],
            "Python 3.13.1 \u2014 Homebrew, in /opt/homebrew/bin");
}

TEST(PythonDecline, OnlyAManagerThatOwnsACommand) {
  // conda answers python3; pyenv is merely installed: the command's owner wins.
  EXPECT_EQ(pythonPostDiagnosisDecline(probes({kPyenv, kConda}, std::nullopt, kHome + "/miniconda3/bin/python3")),
            "conda");
  // Managers that are merely installed keep no control of the commands.
  EXPECT_FALSE(pythonPostDiagnosisDecline(probes({kConda, kPyenv}, std::nullopt, std::nullopt)));
  EXPECT_FALSE(pythonPostDiagnosisDecline(probes({kBrew, kPyenv}, "/opt/homebrew/bin/python3", std::nullopt)));
  EXPECT_FALSE(pythonPostDiagnosisDecline(probes({kApple, kBrew, kUv}, kUv.path, kUv.path)));
}

TEST(PythonLimitation, OnlyTheOwnersOfTheCommands) {
  EXPECT_EQ(pythonOutcomeLimitation(probes({kPyenv}, kHome + "/.pyenv/shims/python", std::nullopt)),
            "pyenv still controls the python command on this Mac. Your projects work with uv run and uv add. To change "
            "which Python runs by default, see pyenv's own instructions.");
  EXPECT_FALSE(pythonOutcomeLimitation(probes({kPyenv, kUv}, std::nullopt, kUv.path)));
}

TEST(PythonOpenableApps, InTableOrder) {
  EXPECT_TRUE(pythonOutcomeOpenableApps(std::nullopt).empty());
  SystemProfile profile;
  profile.markdownEditors.obsidian = true;
  profile.aiTooling.warpApp = true;
  EXPECT_EQ(pythonOutcomeOpenableApps(profile), (std::vector<SpineRenderPolicy::OpenableApp>{
                                                    {"Open Warp", "Warp.app"}, {"Open Obsidian", "Obsidian.app"}}));
}

TEST(PythonRenderPolicy, TablesAndTheOutcomeHook) {
  auto tracker = std::make_shared<RecordingUsageEventTracker>();
  const auto policy = makePythonRenderPolicy(tracker);
  EXPECT_EQ(policy->summaryExcludedDomains, std::set<std::string>{"warp"});
  EXPECT_EQ(policy->offers.at("warp"), (SpineRenderPolicy::SpineOffer{"warp", "post_homebrew", "warp_not_installed"}));
  EXPECT_EQ(policy->homebrewIndependentDomains.count("shell-config"), 1u);
  EXPECT_EQ(policy->advanceOnPartialFailureDomains,
            (std::set<std::string>{"languages", "project", "python-project", "skills", "mcp"}));
  EXPECT_EQ(policy->stageArticlePaths.size(), 11u);
  EXPECT_EQ(
      policy->specialStages.at("notes").items[1],
      (SpineRenderPolicy::CaskChoice{"Obsidian", "PKM free for personal use", "brew:obsidian", "install-obsidian"}));
  EXPECT_EQ(policy->specialStages.at("git").kind, SpineRenderPolicy::SpecialStageKind::Kind::gitActions);
  EXPECT_EQ(policy->diskReadiness->freeFloorBytes, 10'000'000'000);
  EXPECT_EQ(policy->networkReadiness->endpoints.size(), 3u);
  EXPECT_FALSE(policy->postPrimaryInterstitial);

  policy->onOutcomeReported(std::nullopt, "not_resolved");
  policy->onOutcomeReported("likely_resolved", "resolved");
  const auto events = tracker->events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].name, "outcome_reported");
  EXPECT_EQ(events[0].data.at("engine_outcome"), JSONValue("blocked"));
  EXPECT_EQ(events[0].data.at("self_report"), JSONValue("not_resolved"));
  EXPECT_EQ(events[1].data.at("engine_outcome"), JSONValue("likely_resolved"));

  // The shared policy sends through the installed tracker.
  auto shared = std::make_shared<RecordingUsageEventTracker>();
  setPythonPolicyEventTracker(shared);
  pythonRenderPolicy()->onOutcomeReported(std::nullopt, "resolved");
  setPythonPolicyEventTracker(nullptr);
  pythonRenderPolicy()->onOutcomeReported(std::nullopt, "resolved");
  EXPECT_EQ(shared->names(), std::vector<std::string>{"outcome_reported"});
}

}  // namespace
}  // namespace bnch
