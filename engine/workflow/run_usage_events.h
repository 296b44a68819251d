#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>

#include "engine/probes/setup_probe_bundle.h"
#include "engine/probes/system_profile.h"
#include "engine/telemetry/usage_event_tracking.h"
#include "engine/telemetry/usage_events.h"
#include "engine/verification/setup_verification_result.h"
#include "engine/workflow/flow_step.h"
#include "engine/workflow/once_only_events.h"
#include "engine/workflow/run_readiness.h"
#include "engine/workflow/setup_workflow.h"
#include "engine/workflow/spine_render_policy.h"

namespace bnch {

// The usage events of one run: the flow model tells it what happened, and this
// is the one place that turns each transition into its events, sends each
// once-per-run event only once, and each once-per-process event only once per
// process (through the shared markers). Calls come from the model's thread.
class RunUsageEvents {
 public:
  using Class = SetupDiagnosisClassification;

  // `tracker` may be null (nothing is sent); `policy` may be null (no offers, no
  // hooks).
  RunUsageEvents(std::shared_ptr<UsageEventTracking> tracker, std::shared_ptr<const SpineRenderPolicy> policy,
                 std::shared_ptr<OnceOnlyEvents> onceOnly);

  void experienceAnswered(const std::string& bucket);
  // Once per run: the primary stages' fixable and blocked domains.
  void diagnosisReached(const std::optional<SetupWorkflow>& workflow, const std::optional<SystemProfile>& profile);
  void declineShown(const std::string& owner);
  void declineContinued(const std::string& owner);
  void readinessMeasured(const ReadinessOutcome& outcome);
  void readinessResolved(const ReadinessWarning& warning, bool continued);
  // The blocked-stage hook once per domain; the stage's offer once per domain
  // unless the stage is ready.
  void stageShown(const std::string& domain, Class classification, const std::optional<SetupProbeBundle>& probes);
  // Once per domain with an offer.
  void offerActed(const std::string& domain, usage_events::OfferActionKind action);
  // Once per run.
  void verified(const SetupVerificationResult& result, const std::optional<SystemProfile>& profile);
  // The product's hook, once per process.
  void outcomeReported(const std::optional<std::string>& engineOutcome, const std::string& selfReport);
  // Once per process.
  void satisfactionShown();

 private:
  void send(UsageEvent event) const;

  std::shared_ptr<UsageEventTracking> tracker_;
  std::shared_ptr<const SpineRenderPolicy> policy_;
  std::shared_ptr<OnceOnlyEvents> onceOnly_;
  bool diagnosisSent_ = false;
  bool verifySent_ = false;
  std::set<std::string> blockedDomains_;
  std::set<std::string> offerShownDomains_;
  std::set<std::string> offerActedDomains_;
};

}  // namespace bnch
