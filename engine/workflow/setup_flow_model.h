#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/platform/app_services.h"
#include "engine/platform/executor.h"
#include "engine/probes/setup_probe_bundle.h"
#include "engine/probes/system_profile.h"
#include "engine/telemetry/usage_event_tracking.h"
#include "engine/telemetry/usage_events.h"
#include "engine/verification/setup_verification_result.h"
#include "engine/workflow/flow_step.h"
#include "engine/workflow/machine_snapshot.h"
#include "engine/workflow/nps_feedback.h"
#include "engine/workflow/once_only_events.h"
#include "engine/workflow/product_config.h"
#include "engine/workflow/run_memory.h"
#include "engine/workflow/run_readiness.h"
#include "engine/workflow/run_usage_events.h"
#include "engine/workflow/setup_workflow.h"
#include "engine/workflow/spine_provider.h"

namespace bnch {

// Drives one setup run, from the experience question to the satisfaction
// question: profiles the Mac, probes, builds the workflow through the product's
// spine, walks the primary stages, verifies, offers, gates the optional part and
// reports the outcome. Owns the state of the run and its transitions; beside it,
// RunMemory keeps what lasts across launches, RunUsageEvents turns transitions
// into usage events, takeMachineSnapshot gathers and checkReadiness measures.
//
// Threads: every operation and every listener call happens on the thread that
// owns the model (the executor's main side). Profiling, probing, readiness
// checks and verification run through the executor's background side; their
// results are stored back through its main side. With InlineExecutor a whole run
// is synchronous. The model may be destroyed while background work is in
// flight: that work then finishes without touching it.
//
// Failures never stop a run: a missing profile, prober or verifier result gives
// the documented empty values, and install failures are recorded per domain.
class SetupFlowModel {
 public:
  using ProfileFunction = std::function<SystemProfile()>;
  using Listener = std::function<void()>;
  using ListenerID = std::uint64_t;

  enum class InstallOutcome { success, failure, canceled };
  enum class ReadinessAction { continueRun, stop };

  // `config` is the model's own copy of the product configuration. `onceOnly` is
  // shared by every model of the process. `profiler`
  // profiles the Mac afresh (outside fixture mode); when absent the model uses a
  // SystemProfiler over the services' process runner and file system.
  SetupFlowModel(AppServices services, ProductConfig config, std::shared_ptr<UsageEventTracking> tracker,
                 std::shared_ptr<Executor> executor, std::shared_ptr<OnceOnlyEvents> onceOnly,
                 ProfileFunction profiler = {});
  ~SetupFlowModel();
  SetupFlowModel(const SetupFlowModel&) = delete;
  SetupFlowModel& operator=(const SetupFlowModel&) = delete;

  // Change notification: called after every change of a published field.
  ListenerID addListener(Listener listener);
  void removeListener(ListenerID id);

  // ---- Operations (main thread) ----
  void start(std::optional<SystemProfile> fallbackProfile = std::nullopt);
  void answerExperience(const std::string& bucket, bool skipped);
  void continueFromDiagnosis();
  void continueAfterDecline();
  void resolveReadinessWarning(ReadinessAction action);
  void stageShown(const std::string& domain);
  void advance(const std::string& afterDomain);
  void offerAction(const std::string& domain, usage_events::OfferActionKind action);
  // The install the user approved on a stage; the progress screen runs it.
  void approveInstall(PendingInstall install);
  // Closes the progress screen. The model still knows the install, so that its
  // outcome (reported afterwards) can record the projects it created.
  void clearPendingInstall();
  // The pending install for one action of a stage: the stage's remediation with
  // that identifier, titled with the action's label. Absent for an unknown action.
  std::optional<PendingInstall> pendingInstallFor(const std::string& domain, const std::string& actionID) const;
  // Success marks the domain completed (so it shows as ready) unless its install
  // is confirmed by checking the machine again; either way the model re-profiles,
  // re-probes and moves on.
  void installFinished(const std::string& domain, InstallOutcome outcome, const std::string& errorText);
  // The screen's "Install Homebrew first": shows a stage directly.
  void showStage(const std::string& domain);
  void continueFromInterstitial();
  void verify();
  void keepGoing();
  void finishRun();
  // Builds the outcome audit (what is on this Mac now) in the background.
  void buildOutcomeAudit();
  // Returns whether the run is over (the screen then empties the navigation).
  bool reportOutcome(const std::string& selfReport);
  // The satisfaction card's score (0 to 10) with its optional reason: sent,
  // remembered across launches, and the question resolved. False for a score
  // out of range.
  bool submitSatisfaction(int score, const std::string& reason);
  void markSatisfactionResolved();
  void satisfactionDismissed();

  // ---- Published state ----
  const ProductConfig& config() const { return config_; }
  const AppServices& services() const { return services_; }
  const std::optional<SystemProfile>& profile() const { return profile_; }
  const std::optional<SetupProbeBundle>& probes() const { return probes_; }
  const std::optional<SetupWorkflow>& workflow() const { return workflow_; }
  const Step& step() const { return step_; }
  const std::optional<SetupVerificationResult>& verifyResult() const { return verifyResult_; }
  const std::vector<OutcomeAuditSection>& outcomeAudit() const { return outcomeAudit_; }
  const std::optional<PendingInstall>& pendingInstall() const { return pendingInstall_; }
  const std::map<std::string, std::string>& failedStageErrors() const { return failedStageErrors_; }
  const std::vector<std::string>& createdProjectPaths() const { return createdProjectPaths_; }
  // True once the run ended by "stop" on a readiness warning or after the
  // outcome when satisfaction was already submitted.
  bool runEnded() const { return runEnded_; }

  // ---- Other state ----
  const std::set<std::string>& completedDomains() const { return completedDomains_; }
  const std::set<std::string>& completedThisRun() const { return completedThisRun_; }
  const std::vector<ReadinessWarning>& pendingReadiness() const { return pendingReadiness_; }
  const std::optional<std::string>& experienceBucket() const { return experienceBucket_; }
  bool experienceAsked() const { return experienceAsked_; }
  bool experienceSkipped() const { return experienceSkipped_; }
  bool satisfactionResolved() const { return satisfactionResolved_; }

  // The experience context the spine is given: tier 0 for "never-coded", 1 for
  // the other known buckets, 2 for anything else, no bucket, or a skip.
  ExperienceContext experienceContext() const;

 private:
  void load();
  void gather(std::function<void(MachineSnapshot)> then);
  std::optional<SetupWorkflow> buildWorkflow() const;
  void runReadiness();
  void showNextWarning();
  void startPrimaryPath();
  void startOffers();
  void stepAfterOffers();
  void startOptionalPart();
  void afterPrimary();
  void refresh(const std::string& domain);
  void markCompleted(const std::string& domain);
  void recordCreatedProjects(const std::string& domain);
  // Whether the approved install of the domain is confirmed by checking the
  // machine again (every remediation's verify policy is localVerification).
  bool confirmedByLocalCheck(const std::string& domain) const;
  void setStep(Step step);
  void notify();
  const SetupStage* stageFor(const std::string& domain) const;

  AppServices services_;
  ProductConfig config_;
  std::shared_ptr<Executor> executor_;
  RunMemory memory_;
  RunUsageEvents events_;
  NPSFeedback feedback_;
  ProfileFunction profiler_;
  // Expires with the model; background work holds a weak reference and drops its
  // result when the model is gone.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);

  std::optional<SystemProfile> fallbackProfile_;
  std::optional<SystemProfile> profile_;
  std::optional<SetupProbeBundle> probes_;
  std::optional<SetupWorkflow> workflow_;
  Step step_;
  std::optional<SetupVerificationResult> verifyResult_;
  std::vector<OutcomeAuditSection> outcomeAudit_;
  std::optional<PendingInstall> pendingInstall_;
  // The install last approved; the screen clears pendingInstall before it reports
  // the outcome, so the outcome is matched against this one.
  std::optional<PendingInstall> approvedInstall_;
  std::map<std::string, std::string> failedStageErrors_;
  bool satisfactionResolved_ = false;
  std::vector<ReadinessWarning> pendingReadiness_;
  std::optional<std::string> experienceBucket_;
  bool experienceAsked_ = false;
  bool experienceSkipped_ = false;
  std::set<std::string> completedDomains_;
  std::set<std::string> completedThisRun_;
  std::vector<std::string> createdProjectPaths_;
  bool runEnded_ = false;

  std::map<ListenerID, Listener> listeners_;
  ListenerID nextListenerID_ = 1;
};

}  // namespace bnch
