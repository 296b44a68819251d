// Whole runs of the flow model with an inline executor and scripted services:
// which steps the screen is shown, what is stored, and which usage events go out.
#include "engine/workflow/setup_flow_model.h"
#include "engine/product/python_product.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <future>

#include "engine/probes/setup_prober.h"
#include "engine/product/python_render_policy.h"
#include "engine/product/python_spine_copy.h"
#include "engine/product/python_spine_provider.h"
#include "engine/verification/setup_verifier.h"
#include "engine/workflow/once_only_events.h"
#include "engine/workflow/spine_lookups.h"
#include "tests/support/canned_http_fetcher.h"
#include "tests/support/memory_key_value_store.h"
#include "tests/support/recording_usage_event_tracker.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/setup_scenarios.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::CannedHTTPFetcher;
using testing::freshMac;
using testing::freshProbes;
using testing::MemoryKeyValueStore;
using testing::readyMac;
using testing::readyProbes;
using testing::RecordingUsageEventTracker;
using testing::RootedFileSystem;
using testing::TempDir;
using Outcome = SetupFlowModel::InstallOutcome;
using usage_events::OfferActionKind;

// The data of the first event with that name (empty when none was sent).
JSONObject first(const RecordingUsageEventTracker& tracker, const std::string& name) {
  const auto events = tracker.named(name);
  return events.empty() ? JSONObject{} : events.front().data;
}

int count(const RecordingUsageEventTracker& tracker, const std::string& name) {
  return static_cast<int>(tracker.named(name).size());
}

// A prober that answers with whatever the test last set.
class ScriptedProber final : public SetupProber {
 public:
  explicit ScriptedProber(SetupProbeBundle bundle) : bundle_(std::move(bundle)) {}
  SetupProbeBundle probe(const ShellRunner&, FileSystemOperating&) const override {
    ++calls;
    return bundle_;
  }
  void set(SetupProbeBundle bundle) { bundle_ = std::move(bundle); }
  mutable int calls = 0;

 private:
  SetupProbeBundle bundle_;
};

class ScriptedVerifier final : public SetupVerifier {
 public:
  explicit ScriptedVerifier(SetupVerificationResult result) : result_(std::move(result)) {}
  SetupVerificationResult verify(const std::optional<SystemProfile>&, const ShellRunner&,
                                 FileSystemOperating&) const override {
    return result_;
  }

 private:
  SetupVerificationResult result_;
};

// Runs background work only when told, to model work still in flight.
class QueuedExecutor final : public Executor {
 public:
  void background(std::function<void()> work) override { queue.push_back(std::move(work)); }
  void main(std::function<void()> work) override { work(); }
  void drain() {
    while (!queue.empty()) {
      auto work = std::move(queue.front());
      queue.pop_front();
      work();
    }
  }
  std::deque<std::function<void()>> queue;
};

SetupVerificationResult passed() {
  SetupVerificationResult result;
  result.passed = true;
  result.exitCode = 0;
  result.engineOutcome = "likely_resolved";
  result.rawOutput = "uv 0.5.1";
  result.verifiedItems = {"uv", "python", "project", "package_installs"};
  return result;
}

SetupVerificationResult failed() {
  SetupVerificationResult result;
  result.passed = false;
  result.exitCode = 1;
  result.engineOutcome = "blocked";
  result.failedChecks = {"package_installs"};
  return result;
}

class FlowModelTest : public ::testing::Test {
 protected:
  // A model over the scripted services; fixture mode unless a profiler is given.
  std::unique_ptr<SetupFlowModel> makeModel(SetupProbeBundle probes, SetupVerificationResult verification,
                                            SetupFlowModel::ProfileFunction profiler = {},
                                            std::shared_ptr<Executor> executor = std::make_shared<InlineExecutor>()) {
    prober = std::make_shared<ScriptedProber>(std::move(probes));
    ProductConfig config = pythonProduct();
    config.spineProvider = std::make_shared<PythonSpineProvider>();
    config.spineCopy = std::make_shared<PythonSpineCopy>();
    config.spinePolicy = policy ? policy : makePythonRenderPolicy(tracker);
    config.prober = prober;
    config.verifier = std::make_shared<ScriptedVerifier>(std::move(verification));
    services.isFixtureMode = !profiler;
    auto model =
        std::make_unique<SetupFlowModel>(services, config, tracker, std::move(executor), onceOnly, std::move(profiler));
    model->addListener([this, m = model.get()] {
      const std::string step = describe(m->step());
      if (steps.empty() || steps.back() != step) steps.push_back(step);
    });
    return model;
  }

  std::string key(const char* suffix) const { return pythonProduct().defaultsKey(suffix); }

  // Approves the stage's first action and reports the install's outcome.
  void install(SetupFlowModel& model, const std::string& domain, Outcome outcome, const std::string& error = "") {
    const SetupStage* stage = nullptr;
    for (const auto& step : model.workflow()->steps) {
      if (step.stage->domainID() == domain) stage = step.stage.get();
    }
    ASSERT_NE(stage, nullptr) << domain;
    if (!stage->actions().empty()) {
      auto pending = model.pendingInstallFor(domain, stage->actions().front().id);
      ASSERT_TRUE(pending) << domain;
      model.approveInstall(*pending);
    }
    model.clearPendingInstall();
    model.installFinished(domain, outcome, error);
  }

  TempDir root;
  std::shared_ptr<RootedFileSystem> fs = std::make_shared<RootedFileSystem>(root.path());
  std::shared_ptr<MemoryKeyValueStore> store = std::make_shared<MemoryKeyValueStore>();
  std::shared_ptr<CannedHTTPFetcher> http = std::make_shared<CannedHTTPFetcher>();
  std::shared_ptr<RecordingUsageEventTracker> tracker = std::make_shared<RecordingUsageEventTracker>();
  std::shared_ptr<OnceOnlyEvents> onceOnly = std::make_shared<OnceOnlyEvents>();
  AppServices services{nullptr, http, fs, store, true};
  std::shared_ptr<const SpineRenderPolicy> policy;
  std::shared_ptr<ScriptedProber> prober;
  std::vector<std::string> steps;
};

TEST_F(FlowModelTest, FreshMacWalksEveryPrimaryStageThenOffersAndOutcome) {
  auto model = makeModel(freshProbes(), passed());
  model->start(freshMac());
  EXPECT_EQ(model->step(), Step::of(Step::Kind::experienceQuestion));
  model->answerExperience("learning", false);
  EXPECT_EQ(model->experienceContext().tier, 1);
  EXPECT_EQ(store->string(key(".experience_bucket")), "learning");
  EXPECT_EQ(spine_lookups::summaryLines(model->config(), model->workflow()),
            (std::vector<std::string>{"Command Line Tools: not installed", "Shell configuration: not installed",
                                      "Homebrew: not installed", "Python: not installed"}));

  model->continueFromDiagnosis();
  for (const char* domain : {"clt", "shell-config", "homebrew", "warp", "python"}) {
    ASSERT_EQ(model->step(), Step::stage(domain));
    model->stageShown(domain);
    if (std::string(domain) == "warp") model->offerAction("warp", OfferActionKind::selected);
    install(*model, domain, Outcome::success);
  }
  ASSERT_EQ(model->step(), Step::of(Step::Kind::verifying));
  model->verify();
  ASSERT_EQ(model->step(), Step::stage("python-project"));
  model->stageShown("python-project");
  install(*model, "python-project", Outcome::success);
  ASSERT_EQ(model->step(), Step::of(Step::Kind::keepGoingGate));
  model->finishRun();
  EXPECT_FALSE(model->reportOutcome("resolved"));
  model->satisfactionDismissed();

  EXPECT_EQ(steps,
            (std::vector<std::string>{"experienceQuestion", "diagnosisSummary", "stage:clt", "stage:shell-config",
                                      "stage:homebrew", "stage:warp", "stage:python", "verifying",
                                      "stage:python-project", "keepGoingGate", "outcome", "satisfaction"}));
  EXPECT_EQ(tracker->names(),
            (std::vector<std::string>{"experience_bucket", "diagnosis_reached", "offer_shown", "offer_action",
                                      "verify_passed", "outcome_reported", "nps_shown", "nps_dismissed"}));
  const JSONObject diagnosis = first(*tracker, "diagnosis_reached");
  EXPECT_EQ(diagnosis.at("reason"), JSONValue("fixable"));
  EXPECT_EQ(diagnosis.at("fixable_count"), JSONValue(5));
  EXPECT_EQ(first(*tracker, "offer_shown"), (JSONObject{{"offer_id", JSONValue("warp")},
                                                        {"offer_surface", JSONValue("post_homebrew")},
                                                        {"eligibility_reason", JSONValue("warp_not_installed")},
                                                        {"next_step", JSONValue(nullptr)},
                                                        {"goal", JSONValue(nullptr)}}));
  EXPECT_EQ(first(*tracker, "offer_action"), (JSONObject{{"offer_id", JSONValue("warp")},
                                                         {"offer_surface", JSONValue("post_homebrew")},
                                                         {"action", JSONValue("selected")},
                                                         {"result", JSONValue(nullptr)},
                                                         {"next_step", JSONValue(nullptr)}}));
  EXPECT_EQ(first(*tracker, "outcome_reported").at("engine_outcome"), JSONValue("likely_resolved"));
  EXPECT_EQ(first(*tracker, "outcome_reported").at("self_report"), JSONValue("resolved"));

  EXPECT_EQ(store->string(key(".completed_domains")), "clt\nhomebrew\npython\npython-project\nshell-config\nwarp");
  EXPECT_EQ(model->createdProjectPaths(), std::vector<std::string>{"/Users/alice/Documents/Python-Example-Project"});
  EXPECT_EQ(store->string(key(".created_project_paths")), "/Users/alice/Documents/Python-Example-Project");
  // Every install re-probed; the diagnosis event went out once.
  EXPECT_EQ(prober->calls, 7);
  EXPECT_EQ(count(*tracker, "diagnosis_reached"), 1);
}

TEST_F(FlowModelTest, EverythingReadyGoesFromSummaryAndReadinessStraightToVerifying) {
  store->set(StoredValue{std::string("very-experienced")}, key(".experience_bucket"));
  SpineRenderPolicy custom = *makePythonRenderPolicy(tracker);
  custom.diskReadiness = DiskReadinessConfig{0, 0, 0};
  custom.networkReadiness->endpoints = {"https://a.example/", "https://b.example/"};
  policy = std::make_shared<const SpineRenderPolicy>(custom);
  http->sampleResult("https://a.example/", ThroughputSample{800'000, 0.1});
  http->sampleResult("https://b.example/", ThroughputSample{800'000, 0.2});

  auto model = makeModel(readyProbes(), passed(), [] { return readyMac(); });
  model->start();
  ASSERT_EQ(model->step(), Step::of(Step::Kind::diagnosisSummary));
  EXPECT_EQ(model->experienceContext().tier, 1);
  EXPECT_EQ(spine_lookups::summaryLines(model->config(), model->workflow()),
            (std::vector<std::string>{"Command Line Tools: installed", "Shell configuration: installed",
                                      "Homebrew: installed", "Python: installed"}));
  EXPECT_EQ(spine_lookups::summaryHeadline(model->config(), model->workflow()), "Here's what the system check found");
  model->continueFromDiagnosis();
  EXPECT_EQ(model->step(), Step::of(Step::Kind::verifying));
  EXPECT_EQ(steps, (std::vector<std::string>{"loading", "diagnosisSummary", "verifying"}));
  EXPECT_EQ(tracker->names(), (std::vector<std::string>{"diagnosis_reached", "network_check", "disk_space_check"}));
  EXPECT_EQ(first(*tracker, "diagnosis_reached").at("reason"), JSONValue("ready"));
  EXPECT_EQ(first(*tracker, "network_check").at("verdict"), JSONValue("ok"));
  EXPECT_EQ(first(*tracker, "network_check").at("endpoints_reachable"), JSONValue(2));
}

TEST_F(FlowModelTest, VerificationFailureSkipsOffersAndTheKeepGoingGate) {
  auto model = makeModel(readyProbes(), failed());
  store->set(StoredValue{std::string("learning")}, key(".experience_bucket"));
  model->start(readyMac());
  model->continueFromDiagnosis();
  ASSERT_EQ(model->step(), Step::of(Step::Kind::verifying));
  model->verify();
  EXPECT_EQ(model->step(), Step::of(Step::Kind::outcome));
  EXPECT_EQ(steps, (std::vector<std::string>{"loading", "diagnosisSummary", "verifying", "outcome"}));
  EXPECT_EQ(tracker->names(), (std::vector<std::string>{"diagnosis_reached", "verify_failed"}));
  EXPECT_EQ(first(*tracker, "verify_failed"),
            (JSONObject{{"engine_outcome", JSONValue("blocked")},
                        {"exit_code", JSONValue(1)},
                        {"failed_checks", JSONValue(JSONValue::Array{JSONValue("package_installs")})}}));
  EXPECT_EQ(spine_lookups::outcomeTexts(model->config(), false).headline, "Setup didn't finish");
}

TEST_F(FlowModelTest, EarlierShellConfigCountsAsReadyButEarlierPythonDoesNot) {
  store->set(StoredValue{std::string("learning")}, key(".experience_bucket"));
  store->set(StoredValue{std::string("python\n\n  \nshell-config\nno-such-domain\n")}, key(".completed_domains"));
  SetupProbeBundle probes = readyProbes();
  probes.shellConfigured = false;
  probes.pythonInventory->installs.clear();  // uv does not own python
  auto model = makeModel(probes, passed());
  model->start(readyMac());
  std::map<std::string, SetupDiagnosisClassification> classes;
  for (const auto& step : model->workflow()->steps)
    classes[step.stage->domainID()] = step.stage->diagnosis().classification;
  EXPECT_EQ(classes["shell-config"], SetupDiagnosisClassification::ready);
  EXPECT_EQ(classes["python"], SetupDiagnosisClassification::fixable);
  EXPECT_EQ(model->completedDomains(), (std::set<std::string>{"no-such-domain", "python", "shell-config"}));
  model->continueFromDiagnosis();
  EXPECT_EQ(model->step(), Step::stage("python"));
  EXPECT_EQ(steps, (std::vector<std::string>{"loading", "diagnosisSummary", "stage:python"}));
  EXPECT_EQ(tracker->names(), std::vector<std::string>{"diagnosis_reached"});
  // The carried-over stage no longer counts as work to do.
  EXPECT_EQ(first(*tracker, "diagnosis_reached").at("fixable_domains"),
            JSONValue(JSONValue::Array{JSONValue("python")}));
}

TEST_F(FlowModelTest, FailedHomebrewInstallStaysWithItsErrorAndFailedSkillsInstallMovesOn) {
  auto model = makeModel(freshProbes(), passed());
  store->set(StoredValue{std::string("learning")}, key(".experience_bucket"));
  SystemProfile profile = freshMac();
  profile.xcodeCommandLineToolsPath = "/Library/Developer/CommandLineTools";
  model->start(profile);
  model->continueFromDiagnosis();
  install(*model, "shell-config", Outcome::success);
  ASSERT_EQ(model->step(), Step::stage("homebrew"));
  install(*model, "homebrew", Outcome::failure, "Couldn't install Homebrew.");
  EXPECT_EQ(model->step(), Step::stage("homebrew"));
  EXPECT_EQ(model->failedStageErrors().at("homebrew"), "Couldn't install Homebrew.");
  install(*model, "homebrew", Outcome::canceled);
  EXPECT_EQ(model->step(), Step::stage("homebrew"));
  install(*model, "homebrew", Outcome::success);
  EXPECT_EQ(model->step(), Step::stage("warp"));
  EXPECT_TRUE(model->failedStageErrors().empty());

  model->showStage("skills");
  install(*model, "skills", Outcome::failure, "Couldn't add a skill.");
  EXPECT_EQ(model->step(), Step::stage("mcp"));
  EXPECT_EQ(model->failedStageErrors().count("skills"), 0u);
  EXPECT_EQ(model->completedThisRun().count("skills"), 0u);
  EXPECT_EQ(steps, (std::vector<std::string>{"loading", "diagnosisSummary", "stage:shell-config", "stage:homebrew",
                                             "stage:warp", "stage:skills", "stage:mcp"}));
  // Install events belong to the progress screen; the model sends only the diagnosis here.
  EXPECT_EQ(tracker->names(), std::vector<std::string>{"diagnosis_reached"});
}

TEST_F(FlowModelTest, APathRepairCountsOnlyWhenTheRecheckFindsBrew) {
  store->set(StoredValue{std::string("learning")}, key(".experience_bucket"));
  SetupProbeBundle notOnPath = readyProbes();
  notOnPath.pathVisiblePrimaryTools.clear();
  notOnPath.versionExitCode = 127;
  auto model = makeModel(notOnPath, passed());
  model->start(readyMac());
  model->continueFromDiagnosis();
  ASSERT_EQ(model->step(), Step::stage("homebrew"));
  ASSERT_EQ(model->workflow()->steps[2].stage->actions().at(0).id, "path-repair:homebrew");

  // The repair reported success but a fresh shell still cannot run brew.
  install(*model, "homebrew", Outcome::success);
  EXPECT_EQ(model->step(), Step::of(Step::Kind::verifying));
  EXPECT_EQ(model->workflow()->steps[2].stage->diagnosis().classification, SetupDiagnosisClassification::fixable);
  EXPECT_EQ(model->completedThisRun().count("homebrew"), 0u);
  EXPECT_FALSE(store->string(key(".completed_domains")));

  // Repaired for real: the re-check finds it.
  model->showStage("homebrew");
  prober->set(readyProbes());
  install(*model, "homebrew", Outcome::success);
  EXPECT_EQ(model->workflow()->steps[2].stage->diagnosis().classification, SetupDiagnosisClassification::ready);
  EXPECT_EQ(steps, (std::vector<std::string>{"loading", "diagnosisSummary", "stage:homebrew", "verifying",
                                             "stage:homebrew", "verifying"}));
  EXPECT_EQ(tracker->names(), std::vector<std::string>{"diagnosis_reached"});
}

TEST_F(FlowModelTest, OutcomeHookAndSatisfactionEventsOncePerProcess) {
  store->set(StoredValue{std::string("learning")}, key(".experience_bucket"));
  for (int run = 0; run < 2; ++run) {
    auto model = makeModel(readyProbes(), failed());
    model->start(readyMac());
    model->continueFromDiagnosis();
    model->verify();
    EXPECT_FALSE(model->reportOutcome("not_resolved"));
    EXPECT_FALSE(model->reportOutcome("resolved"));
    EXPECT_EQ(model->step(), Step::of(Step::Kind::satisfaction));
    model->markSatisfactionResolved();
    model->satisfactionDismissed();
  }
  EXPECT_EQ(count(*tracker, "outcome_reported"), 1);
  EXPECT_EQ(first(*tracker, "outcome_reported").at("self_report"), JSONValue("not_resolved"));
  EXPECT_EQ(count(*tracker, "nps_shown"), 1);
  EXPECT_EQ(count(*tracker, "nps_dismissed"), 0);

  store->set(StoredValue{true}, key(".nps_submitted"));
  auto model = makeModel(readyProbes(), failed());
  model->start(readyMac());
  EXPECT_TRUE(model->reportOutcome("resolved"));
  EXPECT_TRUE(model->runEnded());
}

TEST_F(FlowModelTest, CompetingOwnerIsSurfacedBeforeReadiness) {
  store->set(StoredValue{std::string("learning")}, key(".experience_bucket"));
  SetupProbeBundle probes = freshProbes();
  probes.pythonInventory->installs = {
      {PythonInstall::Origin::competing("pyenv"), "/Users/alice/.pyenv/versions/3.11.9/bin/python", "3.11.9"}};
  probes.pythonPathVerdict->python.resolvedPath = "/Users/alice/.pyenv/shims/python";
  auto model = makeModel(probes, passed());
  model->start(freshMac());
  model->continueFromDiagnosis();
  EXPECT_EQ(model->step(), Step::decline("pyenv"));
  EXPECT_EQ(spine_lookups::windowTitle(model->config(), model->step()), "Python setup");
  model->continueAfterDecline();
  EXPECT_EQ(model->step(), Step::stage("clt"));
  EXPECT_EQ(tracker->names(),
            (std::vector<std::string>{"diagnosis_reached", "competing_owner_surfaced", "competing_owner_action"}));
  EXPECT_EQ(tracker->events()[2].data, (JSONObject{{"owner", JSONValue("pyenv")}, {"action", JSONValue("continue")}}));
}

TEST_F(FlowModelTest, ReadinessWarningsComeInOrderAndStopEndsTheRun) {
  store->set(StoredValue{std::string("learning")}, key(".experience_bucket"));
  SpineRenderPolicy custom = *makePythonRenderPolicy(tracker);
  custom.networkReadiness->endpoints = {"https://down.example/"};  // unknown to the fetcher: cannot find host
  custom.diskReadiness = DiskReadinessConfig{std::int64_t{4'000'000'000'000'000'000}, 0, 0};
  policy = std::make_shared<const SpineRenderPolicy>(custom);
  auto model = makeModel(readyProbes(), passed(), [] {
    SystemProfile profile = readyMac();
    profile.macosVersion.major = 13;
    return profile;
  });
  model->start();
  model->continueFromDiagnosis();
  ASSERT_EQ(model->step().kind, Step::Kind::readinessWarning);
  EXPECT_EQ(model->step().warning, ReadinessWarning::outdatedMacOS(13));
  EXPECT_EQ(spine_lookups::windowTitle(model->config(), model->step()), "Your macOS version");
  model->resolveReadinessWarning(SetupFlowModel::ReadinessAction::continueRun);
  ASSERT_EQ(model->step().kind, Step::Kind::readinessWarning);
  EXPECT_EQ(model->step().warning.kind, ReadinessWarning::Kind::network);
  model->resolveReadinessWarning(SetupFlowModel::ReadinessAction::continueRun);
  ASSERT_EQ(model->step().kind, Step::Kind::readinessWarning);
  EXPECT_EQ(model->step().warning.kind, ReadinessWarning::Kind::disk);
  model->resolveReadinessWarning(SetupFlowModel::ReadinessAction::stop);
  EXPECT_TRUE(model->runEnded());
  EXPECT_TRUE(model->pendingReadiness().empty());
  EXPECT_EQ(tracker->names(),
            (std::vector<std::string>{"diagnosis_reached", "network_check", "disk_space_check", "macos_advisory_action",
                                      "network_warning_action", "disk_warning_action"}));
  EXPECT_EQ(first(*tracker, "network_warning_action").at("verdict"), JSONValue("unreachable"));
  EXPECT_EQ(first(*tracker, "disk_warning_action").at("action"), JSONValue("stop"));
  EXPECT_EQ(first(*tracker, "macos_advisory_action").at("macos_major"), JSONValue(13));
}

TEST_F(FlowModelTest, BadStoredValuesAndEmptyAnswersGiveDocumentedValues) {
  // A stored bucket that is none of the buckets: the question is not asked again, tier 2.
  store->set(StoredValue{std::string("wizard")}, key(".experience_bucket"));
  auto model = makeModel(SetupProbeBundle{}, SetupVerificationResult{});
  model->start(SystemProfile{});
  EXPECT_EQ(model->step(), Step::of(Step::Kind::diagnosisSummary));
  EXPECT_EQ(model->experienceContext().tier, 2);
  EXPECT_EQ(model->experienceContext().bucket, "wizard");
  ASSERT_TRUE(model->workflow());
  EXPECT_EQ(model->workflow()->steps.size(), 16u);
  // No inventory or verdict: no decline; fixture mode: no readiness.
  model->continueFromDiagnosis();
  EXPECT_EQ(model->step(), Step::stage("clt"));
  // An empty verifier result has not passed.
  model->showStage("python");
  model->advance("python");
  model->verify();
  EXPECT_EQ(model->step(), Step::of(Step::Kind::outcome));
  EXPECT_EQ(first(*tracker, "verify_failed").at("exit_code"), JSONValue(-1));
}

TEST_F(FlowModelTest, SkippingTheQuestionStoresTheSkipValueAndTierTwo) {
  auto model = makeModel(readyProbes(), passed());
  model->start(readyMac());
  model->answerExperience("some-experience", true);
  EXPECT_EQ(model->experienceContext().tier, 2);
  EXPECT_TRUE(store->boolean(key(".experience_skipped")));
  EXPECT_EQ(first(*tracker, "experience_bucket").at("bucket"), JSONValue("some-experience"));
}

// A prober that tells when it has started.
class SignallingProber final : public SetupProber {
 public:
  explicit SignallingProber(SetupProbeBundle bundle) : bundle_(std::move(bundle)) {}
  SetupProbeBundle probe(const ShellRunner&, FileSystemOperating&) const override {
    started.set_value();
    return bundle_;
  }
  mutable std::promise<void> started;

 private:
  SetupProbeBundle bundle_;
};

TEST_F(FlowModelTest, LoadProfilesAndProbesAtTheSameTime) {
  store->set(StoredValue{std::string("learning")}, key(".experience_bucket"));
  auto model = makeModel(readyProbes(), passed(), [] { return readyMac(); });
  auto signalling = std::make_shared<SignallingProber>(readyProbes());
  ProductConfig config = model->config();
  config.prober = signalling;
  std::future<void> proberStarted = signalling->started.get_future();
  // The profiler only finishes once the prober has started: run one after the
  // other, the load would find the prober never started.
  bool sawProber = false;
  SetupFlowModel concurrent(services, config, tracker, std::make_shared<InlineExecutor>(), onceOnly, [&] {
    sawProber = proberStarted.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    return readyMac();
  });
  concurrent.start();
  EXPECT_TRUE(sawProber);
  EXPECT_EQ(concurrent.step(), Step::of(Step::Kind::diagnosisSummary));
  EXPECT_EQ(concurrent.profile(), readyMac());
  EXPECT_EQ(concurrent.probes(), readyProbes());
}

TEST_F(FlowModelTest, ModelDestroyedWhileWorkIsInFlightIsNotTouched) {
  auto executor = std::make_shared<QueuedExecutor>();
  store->set(StoredValue{std::string("learning")}, key(".experience_bucket"));
  auto model = makeModel(readyProbes(), passed(), {}, executor);
  model->start(readyMac());
  EXPECT_EQ(model->step(), Step::of(Step::Kind::loading));
  ASSERT_EQ(executor->queue.size(), 1u);
  model.reset();
  executor->drain();  // would write into a destroyed model without the guard
  EXPECT_TRUE(tracker->names().empty());
}

}  // namespace
}  // namespace bnch
