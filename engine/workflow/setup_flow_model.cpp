#include "engine/workflow/setup_flow_model.h"

#include <algorithm>

#include "engine/platform/shell_runner.h"
#include "engine/platform/text.h"
#include "engine/probes/macos_advisory.h"
#include "engine/probes/setup_prober.h"
#include "engine/probes/system_profiler.h"
#include "engine/remediation/project_template.h"
#include "engine/verification/outcome_audit.h"
#include "engine/verification/setup_verifier.h"
#include "engine/workflow/domain.h"
#include "engine/workflow/once_only_events.h"
#include "engine/workflow/shared_stage_catalog.h"
#include "engine/workflow/spine_provider.h"
#include "engine/workflow/spine_render_policy.h"

namespace bnch {

namespace {

using Class = SetupDiagnosisClassification;

}  // namespace

SetupFlowModel::SetupFlowModel(AppServices services, ProductConfig config, std::shared_ptr<UsageEventTracking> tracker,
                               std::shared_ptr<Executor> executor, std::shared_ptr<OnceOnlyEvents> onceOnly,
                               ProfileFunction profiler)
    : services_(std::move(services)),
      config_(std::move(config)),
      executor_(std::move(executor)),
      memory_(services_.store, config_),
      events_(tracker, config_.spinePolicy, onceOnly),
      feedback_(std::move(tracker), memory_, std::move(onceOnly)),
      profiler_(std::move(profiler)),
      step_(Step::of(Step::Kind::loading)) {
  if (!profiler_) {
    profiler_ = [process = services_.processRunner, fs = services_.fs] {
      if (!fs) return SystemProfile{};
      const ShellRunner shell(process);
      return SystemProfiler(shell, *fs, ProfilerEnvironment::current()).profile();
    };
  }
}

SetupFlowModel::~SetupFlowModel() = default;

SetupFlowModel::ListenerID SetupFlowModel::addListener(Listener listener) {
  const ListenerID id = nextListenerID_++;
  listeners_.emplace(id, std::move(listener));
  return id;
}

void SetupFlowModel::removeListener(ListenerID id) { listeners_.erase(id); }

void SetupFlowModel::notify() {
  // A listener may remove itself or others; call a snapshot.
  const auto snapshot = listeners_;
  for (const auto& [id, listener] : snapshot) {
    if (listener) listener();
  }
}

void SetupFlowModel::setStep(Step step) {
  step_ = std::move(step);
  notify();
}

// ---- Start and experience ----

void SetupFlowModel::start(std::optional<SystemProfile> fallbackProfile) {
  fallbackProfile_ = std::move(fallbackProfile);
  const std::optional<std::string> stored = memory_.experienceBucket();
  const bool storedBucket = stored && !isBlankText(*stored);
  if (config_.experienceQuestion && !experienceAsked_ && !storedBucket) {
    setStep(Step::of(Step::Kind::experienceQuestion));
    return;
  }
  load();
}

void SetupFlowModel::answerExperience(const std::string& bucket, bool skipped) {
  memory_.rememberExperience(bucket, skipped);
  experienceBucket_ = bucket;
  experienceSkipped_ = skipped;
  experienceAsked_ = true;
  events_.experienceAnswered(bucket);
  load();
}

ExperienceContext SetupFlowModel::experienceContext() const {
  ExperienceContext context;
  std::optional<std::string> bucket = experienceBucket_;
  if (!bucket) bucket = memory_.experienceBucket();
  if (bucket && isBlankText(*bucket)) bucket.reset();
  const bool skipped = experienceAsked_ ? experienceSkipped_ : memory_.experienceSkipped();
  context.bucket = bucket;
  context.skipped = skipped;
  if (skipped || !bucket) {
    context.tier = 2;
  } else if (*bucket == "never-coded") {
    context.tier = 0;
  } else if (*bucket == "learning" || *bucket == "some-experience" || *bucket == "very-experienced") {
    context.tier = 1;
  } else {
    context.tier = 2;
  }
  return context;
}

// ---- Load and refresh ----

void SetupFlowModel::gather(std::function<void(MachineSnapshot)> then) {
  // Everything the background work needs is copied: it must not touch the model.
  std::optional<SystemProfile> fixtureProfile;
  if (services_.isFixtureMode) {
    fixtureProfile = profile_ ? profile_ : fallbackProfile_;
    if (!fixtureProfile) return;  // nothing to diagnose; the step stays as it is
  }
  std::weak_ptr<int> alive = alive_;
  auto executor = executor_;
  auto services = services_;
  auto prober = config_.prober;
  auto profiler = profiler_;
  executor_->background([=, then = std::move(then)] {
    MachineSnapshot snapshot = takeMachineSnapshot(services, prober, profiler, fixtureProfile);
    executor->main([alive, then, snapshot = std::move(snapshot)]() mutable {
      if (alive.expired()) return;
      then(std::move(snapshot));
    });
  });
}

void SetupFlowModel::load() {
  gather([this](MachineSnapshot snapshot) {
    // A profiler that failed leaves the previous or fallback profile in place.
    if (snapshot.profile) {
      profile_ = std::move(snapshot.profile);
    } else if (!profile_) {
      profile_ = fallbackProfile_ ? fallbackProfile_ : SystemProfile{};
    }
    probes_ = std::move(snapshot.probes);
    for (std::string& domain : memory_.completedDomains()) completedDomains_.insert(std::move(domain));
    createdProjectPaths_ = memory_.createdProjectPaths();
    workflow_ = buildWorkflow();
    notify();
    events_.diagnosisReached(workflow_, profile_);
    setStep(Step::of(Step::Kind::diagnosisSummary));
  });
}

std::optional<SetupWorkflow> SetupFlowModel::buildWorkflow() const {
  if (!profile_ || !probes_) return std::nullopt;
  std::optional<SetupWorkflow> built = workflowFor(config_, *profile_, *probes_, experienceContext());
  if (!built || (completedDomains_.empty() && completedThisRun_.empty())) return built;
  for (WorkflowStep& step : built->steps) {
    if (!step.stage) continue;
    const std::string& domain = step.stage->domainID();
    const bool carriesOver =
        completedDomains_.count(domain) && (domain == Domain::shellConfig || domain == Domain::git);
    if (!completedThisRun_.count(domain) && !carriesOver) continue;
    const SetupDiagnosis& diagnosis = step.stage->diagnosis();
    if (diagnosis.classification != Class::fixable && diagnosis.classification != Class::unknown) continue;
    step.stage = std::make_shared<BasicSetupStage>(
        domain, SetupDiagnosis{diagnosis.headline, diagnosis.detail, Class::ready, std::nullopt},
        step.stage->actions());
  }
  return built;
}

void SetupFlowModel::refresh(const std::string& domain) {
  gather([this, domain](MachineSnapshot snapshot) {
    if (snapshot.profile) profile_ = std::move(snapshot.profile);
    probes_ = std::move(snapshot.probes);
    workflow_ = buildWorkflow();
    notify();
    advance(domain);
  });
}

// ---- Diagnosis, decline and readiness ----

void SetupFlowModel::continueFromDiagnosis() {
  if (probes_ && config_.spinePolicy && config_.spinePolicy->postDiagnosisDecline) {
    if (const std::optional<std::string> owner = config_.spinePolicy->postDiagnosisDecline(*probes_)) {
      events_.declineShown(*owner);
      setStep(Step::decline(*owner));
      return;
    }
  }
  runReadiness();
}

void SetupFlowModel::continueAfterDecline() {
  if (step_.kind == Step::Kind::postDiagnosisDecline) {
    events_.declineContinued(step_.name);
  }
  runReadiness();
}

void SetupFlowModel::runReadiness() {
  std::vector<ReadinessWarning> warnings;
  if (profile_ && isOutdatedMacOS(*profile_)) {
    warnings.push_back(ReadinessWarning::outdatedMacOS(profile_->macosVersion.major));
  }
  const auto& policy = config_.spinePolicy;
  const std::optional<NetworkReadinessConfig> networkConfig =
      policy ? policy->networkReadiness : std::optional<NetworkReadinessConfig>{};
  const std::optional<DiskReadinessConfig> diskConfig =
      policy ? policy->diskReadiness : std::optional<DiskReadinessConfig>{};
  if (services_.isFixtureMode || (warnings.empty() && !networkConfig && !diskConfig)) {
    startPrimaryPath();
    return;
  }

  std::weak_ptr<int> alive = alive_;
  auto executor = executor_;
  auto services = services_;
  executor_->background([=, this] {
    const ReadinessOutcome outcome = checkReadiness(services, networkConfig, diskConfig);
    executor->main([this, alive, warnings, outcome]() mutable {
      if (alive.expired()) return;
      events_.readinessMeasured(outcome);
      for (ReadinessWarning& warning : outcome.warnings()) warnings.push_back(std::move(warning));
      pendingReadiness_ = std::move(warnings);
      showNextWarning();
    });
  });
}

void SetupFlowModel::showNextWarning() {
  if (pendingReadiness_.empty()) {
    startPrimaryPath();
    return;
  }
  ReadinessWarning next = pendingReadiness_.front();
  pendingReadiness_.erase(pendingReadiness_.begin());
  setStep(Step::readiness(std::move(next)));
}

void SetupFlowModel::resolveReadinessWarning(ReadinessAction action) {
  if (step_.kind != Step::Kind::readinessWarning) return;
  events_.readinessResolved(step_.warning, action == ReadinessAction::continueRun);
  if (action == ReadinessAction::continueRun) {
    showNextWarning();
    return;
  }
  pendingReadiness_.clear();
  runEnded_ = true;
  notify();
}

// ---- Stage selection ----

void SetupFlowModel::afterPrimary() {
  if (config_.spinePolicy && config_.spinePolicy->postPrimaryInterstitial) {
    setStep(Step::of(Step::Kind::interstitial));
  } else {
    setStep(Step::of(Step::Kind::verifying));
  }
}

void SetupFlowModel::startPrimaryPath() {
  if (workflow_) {
    if (auto domain = workflow_->nextDomain(std::nullopt, DomainPlacement::primary)) {
      setStep(Step::stage(*domain));
      return;
    }
  }
  afterPrimary();
}

void SetupFlowModel::startOffers() {
  if (workflow_) {
    if (auto domain = workflow_->nextDomain(std::nullopt, DomainPlacement::offer)) {
      setStep(Step::stage(*domain));
      return;
    }
  }
  stepAfterOffers();
}

void SetupFlowModel::stepAfterOffers() {
  if (!workflow_ || !workflow_->stages(DomainPlacement::optional).empty()) {
    setStep(Step::of(Step::Kind::keepGoingGate));
  } else {
    setStep(Step::of(Step::Kind::outcome));
  }
}

void SetupFlowModel::startOptionalPart() {
  if (workflow_) {
    if (auto domain = workflow_->nextDomain(std::nullopt, DomainPlacement::optional)) {
      setStep(Step::stage(*domain));
      return;
    }
  }
  setStep(Step::of(Step::Kind::outcome));
}

void SetupFlowModel::advance(const std::string& afterDomain) {
  const std::optional<DomainPlacement> placement = workflow_ ? workflow_->placement(afterDomain) : std::nullopt;
  if (!placement) {
    afterPrimary();
    return;
  }
  if (auto next = workflow_->nextDomain(afterDomain, *placement)) {
    setStep(Step::stage(*next));
    return;
  }
  switch (*placement) {
    case DomainPlacement::primary:
      afterPrimary();
      return;
    case DomainPlacement::offer:
      stepAfterOffers();
      return;
    case DomainPlacement::optional:
      setStep(Step::of(Step::Kind::outcome));
      return;
  }
}

const SetupStage* SetupFlowModel::stageFor(const std::string& domain) const {
  if (!workflow_) return nullptr;
  for (const WorkflowStep& step : workflow_->steps) {
    if (step.stage && step.stage->domainID() == domain) return step.stage.get();
  }
  return nullptr;
}

void SetupFlowModel::stageShown(const std::string& domain) {
  const SetupStage* stage = stageFor(domain);
  if (!stage) return;
  const Class classification = stage->diagnosis().classification;
  events_.stageShown(domain, classification, probes_);
  if (classification == Class::ready) advance(domain);
}

void SetupFlowModel::showStage(const std::string& domain) { setStep(Step::stage(domain)); }

void SetupFlowModel::offerAction(const std::string& domain, usage_events::OfferActionKind action) {
  events_.offerActed(domain, action);
}

// ---- Installs ----

void SetupFlowModel::approveInstall(PendingInstall install) {
  approvedInstall_ = install;
  pendingInstall_ = std::move(install);
  notify();
}

void SetupFlowModel::clearPendingInstall() {
  pendingInstall_.reset();
  notify();
}

std::optional<PendingInstall> SetupFlowModel::pendingInstallFor(const std::string& domain,
                                                                const std::string& actionID) const {
  const SetupStage* stage = stageFor(domain);
  if (!stage || !config_.spineProvider || !profile_ || !probes_) return std::nullopt;
  const auto& actions = stage->actions();
  const auto action =
      std::find_if(actions.begin(), actions.end(), [&](const SetupAction& a) { return a.id == actionID; });
  if (action == actions.end()) return std::nullopt;
  for (const SetupRemediation& remediation : config_.spineProvider->remediations(domain, *profile_, *probes_)) {
    if (remediation.id() == actionID) {
      const bool continues = config_.spinePolicy && config_.spinePolicy->advanceOnPartialFailureDomains.count(domain);
      return PendingInstall{domain, action->displayLabel, {remediation}, continues};
    }
  }
  return std::nullopt;
}

void SetupFlowModel::markCompleted(const std::string& domain) {
  completedThisRun_.insert(domain);
  if (completedDomains_.insert(domain).second) memory_.rememberCompletedDomains(completedDomains_);
}

void SetupFlowModel::recordCreatedProjects(const std::string& domain) {
  const std::optional<PendingInstall>& install = pendingInstall_ ? pendingInstall_ : approvedInstall_;
  if (!install || install->id != domain) return;
  bool changed = false;
  for (const SetupRemediation& remediation : install->remediations) {
    if (remediation.kind != SetupRemediation::Kind::createProject) continue;
    std::string parent = remediation.destinationPath.value_or("");
    if (parent.empty() && services_.fs) parent = (services_.fs->homeDirectory() / "Documents").string();
    while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
    const std::string folder = parent + "/" + std::string(folderName(remediation.projectTemplate));
    if (std::find(createdProjectPaths_.begin(), createdProjectPaths_.end(), folder) == createdProjectPaths_.end()) {
      createdProjectPaths_.push_back(folder);
      changed = true;
    }
  }
  if (changed) memory_.rememberCreatedProjectPaths(createdProjectPaths_);
}

bool SetupFlowModel::confirmedByLocalCheck(const std::string& domain) const {
  const std::optional<PendingInstall>& install = pendingInstall_ ? pendingInstall_ : approvedInstall_;
  if (!install || install->id != domain || install->remediations.empty()) return false;
  return std::all_of(install->remediations.begin(), install->remediations.end(), [](const SetupRemediation& r) {
    return SharedStageCatalog::verifyPolicy(r) == VerifyPolicy::localVerification;
  });
}

void SetupFlowModel::installFinished(const std::string& domain, InstallOutcome outcome, const std::string& errorText) {
  if (step_.kind != Step::Kind::stage || step_.name != domain) return;
  switch (outcome) {
    case InstallOutcome::success:
      // An install whose success must be confirmed on the machine (a PATH repair,
      // the Claude apps) counts only when the re-check after it finds the stage ready.
      if (!confirmedByLocalCheck(domain)) markCompleted(domain);
      recordCreatedProjects(domain);
      failedStageErrors_.erase(domain);
      notify();
      refresh(domain);
      return;
    case InstallOutcome::failure:
      if (domain == Domain::clt || domain == Domain::shellConfig || domain == Domain::homebrew) {
        failedStageErrors_[domain] = errorText;
        notify();
      }
      if (config_.spinePolicy && config_.spinePolicy->advanceOnPartialFailureDomains.count(domain)) {
        refresh(domain);
      }
      return;
    case InstallOutcome::canceled:
      return;
  }
}

// ---- Verification, gate and outcome ----

void SetupFlowModel::continueFromInterstitial() { setStep(Step::of(Step::Kind::verifying)); }

void SetupFlowModel::verify() {
  std::weak_ptr<int> alive = alive_;
  auto executor = executor_;
  auto services = services_;
  auto verifier = config_.verifier;
  auto profile = profile_;
  executor_->background([=, this] {
    SetupVerificationResult result;
    if (verifier && services.fs) {
      try {
        result = verifier->verify(profile, ShellRunner(services.processRunner), *services.fs);
      } catch (...) {
        // A verifier is not meant to throw; one that does has verified nothing.
        result = SetupVerificationResult{};
        result.engineOutcome = "unknown";
      }
    } else {
      // Nothing can vouch for the setup without a verifier.
      result.engineOutcome = "unknown";
    }
    executor->main([this, alive, result = std::move(result)]() mutable {
      if (alive.expired()) return;
      verifyResult_ = std::move(result);
      notify();
      const SetupVerificationResult& stored = *verifyResult_;
      events_.verified(stored, profile_);
      if (stored.passed) {
        startOffers();
      } else {
        setStep(Step::of(Step::Kind::outcome));
      }
    });
  });
}

void SetupFlowModel::keepGoing() { startOptionalPart(); }

void SetupFlowModel::finishRun() { setStep(Step::of(Step::Kind::outcome)); }

void SetupFlowModel::buildOutcomeAudit() {
  std::weak_ptr<int> alive = alive_;
  auto executor = executor_;
  auto services = services_;
  auto profile = profile_;
  executor_->background([=, this] {
    std::vector<OutcomeAuditSection> sections;
    if (services.fs) {
      try {
        sections = runOutcomeAudit(ShellRunner(services.processRunner), *services.fs, profile);
      } catch (...) {
        sections.clear();
      }
    }
    executor->main([this, alive, sections = std::move(sections)]() mutable {
      if (alive.expired()) return;
      outcomeAudit_ = std::move(sections);
      notify();
    });
  });
}

bool SetupFlowModel::reportOutcome(const std::string& selfReport) {
  events_.outcomeReported(verifyResult_ ? verifyResult_->engineOutcome : std::nullopt, selfReport);
  if (feedback_.submittedBefore()) {
    runEnded_ = true;
    notify();
    return true;
  }
  events_.satisfactionShown();
  setStep(Step::of(Step::Kind::satisfaction));
  return false;
}

bool SetupFlowModel::submitSatisfaction(int score, const std::string& reason) {
  if (!feedback_.submit(score, reason)) return false;
  satisfactionResolved_ = true;
  notify();
  return true;
}

void SetupFlowModel::markSatisfactionResolved() {
  feedback_.markResolved();
  satisfactionResolved_ = true;
  notify();
}

void SetupFlowModel::satisfactionDismissed() {
  if (satisfactionResolved_) return;
  feedback_.dismiss();
  satisfactionResolved_ = true;
  notify();
}

}  // namespace bnch
