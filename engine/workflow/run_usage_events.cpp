#include "engine/workflow/run_usage_events.h"

#include <vector>

namespace bnch {

namespace {

// Once-only markers.
constexpr const char* kOutcomeReportedMarker = "outcome_reported";

std::vector<std::string> terminalIDs(const std::optional<SystemProfile>& profile) {
  std::vector<std::string> ids;
  if (!profile) return ids;
  const Terminals& t = profile->terminals;
  if (t.iterm) ids.push_back("iterm2");
  if (t.ghostty) ids.push_back("ghostty");
  if (t.warp) ids.push_back("warp");
  if (t.hyper) ids.push_back("hyper");
  if (t.alacritty) ids.push_back("alacritty");
  if (t.kitty) ids.push_back("kitty");
  if (t.wezterm) ids.push_back("wezterm");
  return ids;
}

}  // namespace

RunUsageEvents::RunUsageEvents(std::shared_ptr<UsageEventTracking> tracker,
                               std::shared_ptr<const SpineRenderPolicy> policy,
                               std::shared_ptr<OnceOnlyEvents> onceOnly)
    : tracker_(std::move(tracker)), policy_(std::move(policy)), onceOnly_(std::move(onceOnly)) {}

void RunUsageEvents::send(UsageEvent event) const {
  if (tracker_) track(*tracker_, std::move(event));
}

void RunUsageEvents::experienceAnswered(const std::string& bucket) { send(usage_events::experienceBucket(bucket)); }

void RunUsageEvents::diagnosisReached(const std::optional<SetupWorkflow>& workflow,
                                      const std::optional<SystemProfile>& profile) {
  if (diagnosisSent_) return;
  diagnosisSent_ = true;
  std::vector<std::string> fixable;
  std::vector<std::string> blocked;
  if (workflow) {
    for (const auto& stage : workflow->stages(DomainPlacement::primary)) {
      const Class classification = stage->diagnosis().classification;
      if (classification == Class::fixable) fixable.push_back(stage->domainID());
      if (classification == Class::blocked) blocked.push_back(stage->domainID());
    }
  }
  const std::string reason = !blocked.empty() ? "blocked" : (!fixable.empty() ? "fixable" : "ready");
  JSONObject extras;
  if (policy_ && policy_->diagnosisPayloadExtras) extras = policy_->diagnosisPayloadExtras(profile);
  send(usage_events::diagnosisReached(reason, fixable, blocked, terminalIDs(profile), extras));
}

void RunUsageEvents::declineShown(const std::string& owner) { send(usage_events::competingOwnerSurfaced(owner)); }

void RunUsageEvents::declineContinued(const std::string& owner) {
  send(usage_events::competingOwnerAction(owner, "continue"));
}

void RunUsageEvents::readinessMeasured(const ReadinessOutcome& outcome) {
  for (UsageEvent& event : outcome.events()) send(std::move(event));
}

void RunUsageEvents::readinessResolved(const ReadinessWarning& warning, bool continued) {
  const std::string action = continued ? "continue" : "stop";
  switch (warning.kind) {
    case ReadinessWarning::Kind::network:
      send(usage_events::networkWarningAction(action, std::string(toString(warning.network.verdict))));
      break;
    case ReadinessWarning::Kind::disk:
      send(usage_events::diskWarningAction(action, std::string(toString(warning.disk.verdict))));
      break;
    case ReadinessWarning::Kind::outdatedMacOS:
      send(usage_events::macosAdvisoryAction(action, warning.major));
      break;
  }
}

void RunUsageEvents::stageShown(const std::string& domain, Class classification,
                                const std::optional<SetupProbeBundle>& probes) {
  if (classification == Class::blocked && blockedDomains_.insert(domain).second) {
    if (probes && policy_ && policy_->onStageBlocked) policy_->onStageBlocked(domain, *probes);
  }
  if (classification == Class::ready || !policy_) return;
  const auto offer = policy_->offers.find(domain);
  if (offer != policy_->offers.end() && offerShownDomains_.insert(domain).second) {
    // A spine offer has no next step and this product asks no goal: both go out as null.
    send(usage_events::offerShown(offer->second.offerID, offer->second.offerSurface, offer->second.eligibilityReason,
                                  std::nullopt, std::nullopt));
  }
}

void RunUsageEvents::offerActed(const std::string& domain, usage_events::OfferActionKind action) {
  if (!policy_) return;
  const auto offer = policy_->offers.find(domain);
  if (offer == policy_->offers.end() || !offerActedDomains_.insert(domain).second) return;
  send(
      usage_events::offerAction(offer->second.offerID, offer->second.offerSurface, action, std::nullopt, std::nullopt));
}

void RunUsageEvents::verified(const SetupVerificationResult& result, const std::optional<SystemProfile>& profile) {
  if (verifySent_) return;
  verifySent_ = true;
  JSONObject extras;
  if (policy_ && policy_->verifyPayloadExtras) extras = policy_->verifyPayloadExtras(result, profile);
  if (result.passed) {
    send(usage_events::verifyPassed(result, extras));
  } else {
    send(usage_events::verifyFailed(result, result.exitCode.value_or(-1), extras));
  }
}

void RunUsageEvents::outcomeReported(const std::optional<std::string>& engineOutcome, const std::string& selfReport) {
  if (onceOnly_->insert(kOutcomeReportedMarker) && policy_ && policy_->onOutcomeReported) {
    policy_->onOutcomeReported(engineOutcome, selfReport);
  }
}

void RunUsageEvents::satisfactionShown() {
  if (onceOnly_->markSatisfactionShown()) send(usage_events::npsShown());
}

}  // namespace bnch
