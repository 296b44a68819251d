#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/probes/system_profile.h"
#include "engine/telemetry/json_value.h"
#include "engine/telemetry/usage_event_tracking.h"
#include "engine/verification/setup_verification_result.h"

namespace bnch {

// One usage event ready to hand to UsageEventTracking::track.
struct UsageEvent {
  std::string name;
  JSONObject data;

  bool operator==(const UsageEvent&) const = default;
};

// Sends the event through the tracker (which queues it and returns at once).
inline void track(UsageEventTracking& tracker, UsageEvent event) { tracker.track(event.name, std::move(event.data)); }

// The catalogue of usage events: the only place in the program that spells an
// event name or a data key. The names and keys are a contract with the analysis
// side of the endpoint, which rejects unknown names and changed shapes.
//
// Each builder applies the value rules: durations ("duration_ms", "uptime_s",
// "gap_s") below 0 become 0, attempt numbers below 1 become 1, paths and tool
// output have every "/Users/<name>/" replaced by "/Users/~/", and optional
// values are left out or sent as null as each builder states. Builders are pure
// functions, safe from any thread.
namespace usage_events {

// Event names.
namespace names {
inline constexpr std::string_view appLaunched = "app_launched";
inline constexpr std::string_view appReopened = "app_reopened";
inline constexpr std::string_view appQuit = "app_quit";
inline constexpr std::string_view windowClosed = "window_closed";
inline constexpr std::string_view previousRunUnclean = "previous_run_unclean";
inline constexpr std::string_view consentGiven = "consent_given";
inline constexpr std::string_view experienceBucket = "experience_bucket";
inline constexpr std::string_view networkCheck = "network_check";
inline constexpr std::string_view networkWarningAction = "network_warning_action";
inline constexpr std::string_view diskSpaceCheck = "disk_space_check";
inline constexpr std::string_view diskWarningAction = "disk_warning_action";
inline constexpr std::string_view macosAdvisoryAction = "macos_advisory_action";
inline constexpr std::string_view diagnosisReached = "diagnosis_reached";
inline constexpr std::string_view competingOwnerSurfaced = "competing_owner_surfaced";
inline constexpr std::string_view competingOwnerAction = "competing_owner_action";
inline constexpr std::string_view brewIndexRefreshChoice = "brew_index_refresh_choice";
inline constexpr std::string_view remediationApplied = "remediation_applied";
inline constexpr std::string_view remediationCompleted = "remediation_completed";
inline constexpr std::string_view remediationCanceled = "remediation_canceled";
inline constexpr std::string_view remediationFailed = "remediation_failed";
inline constexpr std::string_view remediationSkipped = "remediation_skipped";
inline constexpr std::string_view claudeDesktopInstalled = "claude_desktop_installed";
inline constexpr std::string_view claudeCliInstalled = "claude_cli_installed";
inline constexpr std::string_view claudePathRepaired = "claude_path_repaired";
inline constexpr std::string_view verifyPassed = "verify_passed";
inline constexpr std::string_view verifyFailed = "verify_failed";
inline constexpr std::string_view outcomeReported = "outcome_reported";
inline constexpr std::string_view npsShown = "nps_shown";
inline constexpr std::string_view npsSubmitted = "nps_submitted";
inline constexpr std::string_view npsDismissed = "nps_dismissed";
inline constexpr std::string_view goalSelected = "goal_selected";
inline constexpr std::string_view nextStepSelected = "next_step_selected";
inline constexpr std::string_view offerShown = "offer_shown";
inline constexpr std::string_view offerAction = "offer_action";
inline constexpr std::string_view appOpened = "app_opened";
// Events of flows and products other than Python; they share the service.
inline constexpr std::string_view claudeOutcomeReported = "claude_outcome_reported";
inline constexpr std::string_view claudeConflictSurfaced = "claude_conflict_surfaced";
inline constexpr std::string_view chooserShown = "chooser_shown";
inline constexpr std::string_view verifyPassedWithLegacy = "verify_passed_with_legacy";
inline constexpr std::string_view verifyOfferedFollowup = "verify_offered_followup";
inline constexpr std::string_view auditReached = "audit_reached";
inline constexpr std::string_view auditStageOutcome = "audit_stage_outcome";
inline constexpr std::string_view auditOutboundClicked = "audit_outbound_clicked";
inline constexpr std::string_view auditGated = "audit_gated";
inline constexpr std::string_view auditStageSkippedByUser = "audit_stage_skipped_by_user";
inline constexpr std::string_view buildIntentPromptShown = "build_intent_prompt_shown";
inline constexpr std::string_view buildIntentOptedIn = "build_intent_opted_in";
}  // namespace names

// ---- Value rules ----

// Every "/Users/<name>/" in the text becomes "/Users/~/".
std::string replacingHomeFolder(std::string_view text);
// A duration or gap: negative values become 0.
std::int64_t nonNegative(std::int64_t value);
// An attempt number: values below 1 become 1.
std::int64_t atLeastOne(std::int64_t value);
// Rounded half away from zero to one decimal place.
double roundedToOneDecimal(double value);

// ---- Run and window ----

// Without a profile the data is empty.
UsageEvent appLaunched(const std::optional<SystemProfile>& profile);
UsageEvent appReopened(std::int64_t gapSeconds, const std::string& lastScreen);
UsageEvent appQuit(const std::string& lastScreen, std::int64_t uptimeSeconds);
UsageEvent windowClosed(const std::string& lastScreen, std::int64_t uptimeSeconds);
UsageEvent previousRunUnclean(const std::string& previousRunID);

// ---- Start of the flow ----

UsageEvent consentGiven();
UsageEvent experienceBucket(const std::string& bucket);

// ---- Readiness checks ----

// "down_mbps" only when measured (and finite); "estimated_install_seconds" only when estimated.
UsageEvent networkCheck(const std::string& verdict, std::int64_t endpointsReachable, std::int64_t endpointsTotal,
                        std::optional<double> downMbps, std::optional<std::int64_t> estimatedInstallSeconds);
UsageEvent networkWarningAction(const std::string& action, const std::string& verdict);
// "available_gb" only when known.
UsageEvent diskSpaceCheck(const std::string& verdict, std::int64_t worstCaseGB, std::int64_t headroomGB,
                          std::optional<std::int64_t> availableGB);
UsageEvent diskWarningAction(const std::string& action, const std::string& verdict);
UsageEvent macosAdvisoryAction(const std::string& action, std::int64_t macosMajor);

// ---- Diagnosis and choices before installing ----

// The counts are the sizes of the lists. `extras` (the product's diagnosis
// extras) are added after the standard keys and never replace one of them.
UsageEvent diagnosisReached(const std::string& reason, const std::vector<std::string>& fixableDomains,
                            const std::vector<std::string>& blockedDomains, const std::vector<std::string>& terminals,
                            const JSONObject& extras = {});
UsageEvent competingOwnerSurfaced(const std::string& owner);
UsageEvent competingOwnerAction(const std::string& owner, const std::string& action);
UsageEvent brewIndexRefreshChoice(bool accepted, std::int64_t indexAgeHours);

// ---- Remediations ----

enum class RemediationFailureReason { nonzeroExit, spawnOrKilled, prerequisiteFailed, postcheckFailed };
std::string_view toString(RemediationFailureReason reason);  // "nonzero_exit", ...

UsageEvent remediationApplied(const std::string& remediationID, const std::string& method, std::int64_t attempt);
UsageEvent remediationCompleted(const std::string& remediationID, std::int64_t exitCode, std::int64_t durationMs,
                                std::int64_t attempt);
UsageEvent remediationCanceled(const std::string& remediationID, std::int64_t attempt);
// `errorText` is the already redacted output tail (ErrorTextRedaction); left out when empty.
UsageEvent remediationFailed(const std::string& remediationID, std::int64_t exitCode, RemediationFailureReason reason,
                             std::int64_t durationMs, const std::string& errorText, std::int64_t attempt);
UsageEvent remediationSkipped(const std::string& remediationID, const std::string& reason);
UsageEvent claudeDesktopInstalled();
UsageEvent claudeCliInstalled();
// The directory passed through redactedText (no account name, no home folder).
UsageEvent claudePathRepaired(const std::string& directory);

// ---- Verification and outcome ----

// "cli_version_excerpt": the raw output passed through redactedText, then cut
// to its first 200 characters. "engine_outcome": the result's, or "unknown".
UsageEvent verifyPassed(const SetupVerificationResult& result, const JSONObject& extras = {});
// "failed_checks" only when the result has failed checks.
UsageEvent verifyFailed(const SetupVerificationResult& result, std::int64_t exitCode, const JSONObject& extras = {});
// "engine_outcome" is "blocked" when absent; "self_report" is "resolved" or "not_resolved".
UsageEvent outcomeReported(const std::optional<std::string>& engineOutcome, bool resolved);
UsageEvent npsShown();
// "reason": the trimmed comment cut to 500 characters, or null when it is empty.
UsageEvent npsSubmitted(std::int64_t score, const std::string& comment);
UsageEvent npsDismissed();
UsageEvent goalSelected(const std::string& goal, const std::string& detail, const std::string& surface);
// "goal" is null when no goal was chosen.
UsageEvent nextStepSelected(const std::string& nextStep, const std::string& outcome,
                            const std::optional<std::string>& goal, const std::string& surface);
// "next_step" and "goal" are null when absent.
UsageEvent offerShown(const std::string& offerID, const std::string& offerSurface, const std::string& eligibilityReason,
                      const std::optional<std::string>& nextStep, const std::optional<std::string>& goal);
enum class OfferActionKind { selected, dismissed };
// "result" and "next_step" are null when absent.
UsageEvent offerAction(const std::string& offerID, const std::string& offerSurface, OfferActionKind action,
                       const std::optional<std::string>& result, const std::optional<std::string>& nextStep);
// The application's bundle name; a trailing ".app" is removed.
UsageEvent appOpened(const std::string& appName);

// ---- Other flows and products ----

UsageEvent chooserShown(const std::string& screen, const std::string& defaultOffered);
UsageEvent verifyOfferedFollowup(const std::string& firstRemediationID);
UsageEvent auditReached(const std::vector<std::string>& aiTools, const std::vector<std::string>& terminals,
                        const std::string& entry);
UsageEvent auditStageOutcome(const std::string& stageID, const std::string& outcome);
UsageEvent auditOutboundClicked(const std::string& tool, const std::string& url);
UsageEvent buildIntentPromptShown(const std::string& surface);
UsageEvent buildIntentOptedIn(const std::string& surface);
// Events of those flows that carry no fixed keys.
UsageEvent named(std::string_view name, JSONObject data = {});

}  // namespace usage_events

}  // namespace bnch
