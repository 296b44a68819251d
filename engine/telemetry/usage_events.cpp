#include "engine/telemetry/usage_events.h"

#include "engine/telemetry/error_text_redaction.h"

#include <algorithm>
#include <cmath>

#include "engine/platform/text.h"
#include "engine/platform/utf8.h"

namespace bnch::usage_events {

namespace {

constexpr std::size_t versionExcerptCharacters = 200;
constexpr std::size_t npsReasonCharacters = 500;

UsageEvent event(std::string_view name, JSONObject data = {}) { return {std::string(name), std::move(data)}; }

JSONValue textList(const std::vector<std::string>& items) {
  JSONValue::Array list;
  list.reserve(items.size());
  for (const auto& item : items) list.emplace_back(item);
  return list;
}

JSONValue textOrNull(const std::optional<std::string>& text) { return text ? JSONValue(*text) : JSONValue(nullptr); }

// Adds product extras without letting them replace a standard key.
void addExtras(JSONObject& data, const JSONObject& extras) {
  for (const auto& [key, value] : extras) data.emplace(key, value);
}

std::string_view archName(Architecture architecture) {
  switch (architecture) {
    case Architecture::appleSilicon:
      return "arm64";
    case Architecture::intel:
      return "x86_64";
    case Architecture::unknown:
      break;
  }
  return "unknown";
}

std::string_view shellName(Shell::Kind kind) {
  switch (kind) {
    case Shell::Kind::zsh:
      return "zsh";
    case Shell::Kind::bash:
      return "bash";
    case Shell::Kind::fish:
      return "fish";
    case Shell::Kind::other:
      break;
  }
  return "other";
}

}  // namespace

std::string replacingHomeFolder(std::string_view text) {
  // "/Users/" then one or more characters other than "/" and white space, then "/".
  constexpr std::string_view users = "/Users/";
  constexpr std::string_view nameStops = "/ \t\n\r\f\v";
  std::string result;
  result.reserve(text.size());
  std::size_t position = 0;
  while (position < text.size()) {
    std::size_t found = text.find(users, position);
    if (found == std::string_view::npos) break;
    std::size_t nameStart = found + users.size();
    std::size_t nameEnd = text.find_first_of(nameStops, nameStart);
    result.append(text.substr(position, nameStart - position));
    if (nameEnd != std::string_view::npos && nameEnd > nameStart && text[nameEnd] == '/') {
      result.append("~/");
      position = nameEnd + 1;
    } else {
      position = nameStart;
    }
  }
  result.append(text.substr(std::min(position, text.size())));
  return result;
}

std::int64_t nonNegative(std::int64_t value) { return value < 0 ? 0 : value; }

std::int64_t atLeastOne(std::int64_t value) { return value < 1 ? 1 : value; }

double roundedToOneDecimal(double value) { return std::round(value * 10.0) / 10.0; }

UsageEvent appLaunched(const std::optional<SystemProfile>& profile) {
  if (!profile) return event(names::appLaunched);
  return event(names::appLaunched, {
                                       {"macos_major", static_cast<std::int64_t>(profile->macosVersion.major)},
                                       {"macos_minor", static_cast<std::int64_t>(profile->macosVersion.minor)},
                                       {"arch", std::string(archName(profile->architecture))},
                                       {"shell", std::string(shellName(profile->shell.kind))},
                                       {"has_homebrew", profile->homebrewPrefix.has_value()},
                                       {"has_sdkman", profile->sdkmanRoot.has_value()},
                                       {"has_mise", profile->miseExecutable.has_value()},
                                       {"has_jenv", profile->jenvRoot.has_value()},
                                       {"has_asdf", profile->asdfRoot.has_value()},
                                       {"has_xcode_clt", profile->xcodeCommandLineToolsPath.has_value()},
                                       {"is_admin", profile->isAdministrator},
                                   });
}

UsageEvent appReopened(std::int64_t gapSeconds, const std::string& lastScreen) {
  return event(names::appReopened, {{"gap_s", nonNegative(gapSeconds)}, {"last_screen", lastScreen}});
}

UsageEvent appQuit(const std::string& lastScreen, std::int64_t uptimeSeconds) {
  return event(names::appQuit, {{"last_screen", lastScreen}, {"uptime_s", nonNegative(uptimeSeconds)}});
}

UsageEvent windowClosed(const std::string& lastScreen, std::int64_t uptimeSeconds) {
  return event(names::windowClosed, {{"last_screen", lastScreen}, {"uptime_s", nonNegative(uptimeSeconds)}});
}

UsageEvent previousRunUnclean(const std::string& previousRunID) {
  return event(names::previousRunUnclean, {{"previous_run_id", previousRunID}});
}

UsageEvent consentGiven() { return event(names::consentGiven); }

UsageEvent experienceBucket(const std::string& bucket) { return event(names::experienceBucket, {{"bucket", bucket}}); }

UsageEvent networkCheck(const std::string& verdict, std::int64_t endpointsReachable, std::int64_t endpointsTotal,
                        std::optional<double> downMbps, std::optional<std::int64_t> estimatedInstallSeconds) {
  JSONObject data{
      {"verdict", verdict},
      {"endpoints_reachable", endpointsReachable},
      {"endpoints_total", endpointsTotal},
  };
  if (downMbps && std::isfinite(*downMbps)) data["down_mbps"] = roundedToOneDecimal(*downMbps);
  if (estimatedInstallSeconds) data["estimated_install_seconds"] = *estimatedInstallSeconds;
  return event(names::networkCheck, std::move(data));
}

UsageEvent networkWarningAction(const std::string& action, const std::string& verdict) {
  return event(names::networkWarningAction, {{"action", action}, {"verdict", verdict}});
}

UsageEvent diskSpaceCheck(const std::string& verdict, std::int64_t worstCaseGB, std::int64_t headroomGB,
                          std::optional<std::int64_t> availableGB) {
  JSONObject data{{"verdict", verdict}, {"worst_case_gb", worstCaseGB}, {"headroom_gb", headroomGB}};
  if (availableGB) data["available_gb"] = *availableGB;
  return event(names::diskSpaceCheck, std::move(data));
}

UsageEvent diskWarningAction(const std::string& action, const std::string& verdict) {
  return event(names::diskWarningAction, {{"action", action}, {"verdict", verdict}});
}

UsageEvent macosAdvisoryAction(const std::string& action, std::int64_t macosMajor) {
  return event(names::macosAdvisoryAction, {{"action", action}, {"macos_major", macosMajor}});
}

UsageEvent diagnosisReached(const std::string& reason, const std::vector<std::string>& fixableDomains,
                            const std::vector<std::string>& blockedDomains, const std::vector<std::string>& terminals,
                            const JSONObject& extras) {
  JSONObject data{
      {"reason", reason},
      {"fixable_count", static_cast<std::int64_t>(fixableDomains.size())},
      {"blocked_count", static_cast<std::int64_t>(blockedDomains.size())},
      {"fixable_domains", textList(fixableDomains)},
      {"blocked_domains", textList(blockedDomains)},
      {"terminal_count", static_cast<std::int64_t>(terminals.size())},
      {"terminals", textList(terminals)},
  };
  addExtras(data, extras);
  return event(names::diagnosisReached, std::move(data));
}

UsageEvent competingOwnerSurfaced(const std::string& owner) {
  return event(names::competingOwnerSurfaced, {{"owner", owner}});
}

UsageEvent competingOwnerAction(const std::string& owner, const std::string& action) {
  return event(names::competingOwnerAction, {{"owner", owner}, {"action", action}});
}

UsageEvent brewIndexRefreshChoice(bool accepted, std::int64_t indexAgeHours) {
  return event(names::brewIndexRefreshChoice, {{"accepted", accepted}, {"index_age_hours", indexAgeHours}});
}

std::string_view toString(RemediationFailureReason reason) {
  switch (reason) {
    case RemediationFailureReason::nonzeroExit:
      return "nonzero_exit";
    case RemediationFailureReason::spawnOrKilled:
      return "spawn_or_killed";
    case RemediationFailureReason::prerequisiteFailed:
      return "prerequisite_failed";
    case RemediationFailureReason::postcheckFailed:
      return "postcheck_failed";
  }
  return "nonzero_exit";
}

UsageEvent remediationApplied(const std::string& remediationID, const std::string& method, std::int64_t attempt) {
  return event(names::remediationApplied,
               {{"remediation_id", remediationID}, {"method", method}, {"attempt", atLeastOne(attempt)}});
}

UsageEvent remediationCompleted(const std::string& remediationID, std::int64_t exitCode, std::int64_t durationMs,
                                std::int64_t attempt) {
  return event(names::remediationCompleted, {
                                                {"remediation_id", remediationID},
                                                {"exit_code", exitCode},
                                                {"duration_ms", nonNegative(durationMs)},
                                                {"attempt", atLeastOne(attempt)},
                                            });
}

UsageEvent remediationCanceled(const std::string& remediationID, std::int64_t attempt) {
  return event(names::remediationCanceled, {{"remediation_id", remediationID}, {"attempt", atLeastOne(attempt)}});
}

UsageEvent remediationFailed(const std::string& remediationID, std::int64_t exitCode, RemediationFailureReason reason,
                             std::int64_t durationMs, const std::string& errorText, std::int64_t attempt) {
  JSONObject data{
      {"remediation_id", remediationID},         {"exit_code", exitCode},
      {"reason", std::string(toString(reason))}, {"duration_ms", nonNegative(durationMs)},
      {"attempt", atLeastOne(attempt)},
  };
  if (!errorText.empty()) data["error_text"] = errorText;
  return event(names::remediationFailed, std::move(data));
}

UsageEvent remediationSkipped(const std::string& remediationID, const std::string& reason) {
  return event(names::remediationSkipped, {{"remediation_id", remediationID}, {"reason", reason}});
}

UsageEvent claudeDesktopInstalled() { return event(names::claudeDesktopInstalled); }

UsageEvent claudeCliInstalled() { return event(names::claudeCliInstalled); }

UsageEvent claudePathRepaired(const std::string& directory) {
  return event(names::claudePathRepaired, {{"directory", redactedText(directory, PrivateValues{})}});
}

UsageEvent verifyPassed(const SetupVerificationResult& result, const JSONObject& extras) {
  // Redacted before the final cut, so the cut never leaves part of a user name or a
  // key behind; the first cut keeps the work small on huge outputs.
  std::string head = utf8::prefix(result.rawOutput, versionExcerptCharacters + 1024);
  JSONObject data{
      {"cli_version_excerpt", utf8::prefix(redactedText(head, PrivateValues{}), versionExcerptCharacters)},
      {"engine_outcome", result.engineOutcome.value_or("unknown")},
  };
  addExtras(data, extras);
  return event(names::verifyPassed, std::move(data));
}

UsageEvent verifyFailed(const SetupVerificationResult& result, std::int64_t exitCode, const JSONObject& extras) {
  JSONObject data{
      {"engine_outcome", result.engineOutcome.value_or("unknown")},
      {"exit_code", exitCode},
  };
  if (!result.failedChecks.empty()) data["failed_checks"] = textList(result.failedChecks);
  addExtras(data, extras);
  return event(names::verifyFailed, std::move(data));
}

UsageEvent outcomeReported(const std::optional<std::string>& engineOutcome, bool resolved) {
  return event(names::outcomeReported, {
                                           {"engine_outcome", engineOutcome.value_or("blocked")},
                                           {"self_report", resolved ? "resolved" : "not_resolved"},
                                       });
}

UsageEvent npsShown() { return event(names::npsShown); }

UsageEvent npsSubmitted(std::int64_t score, const std::string& comment) {
  std::string reason = trimmedText(comment);
  return event(
      names::npsSubmitted,
      {
          {"score", score},
          {"reason", reason.empty() ? JSONValue(nullptr) : JSONValue(utf8::prefix(reason, npsReasonCharacters))},
      });
}

UsageEvent npsDismissed() { return event(names::npsDismissed); }

UsageEvent goalSelected(const std::string& goal, const std::string& detail, const std::string& surface) {
  return event(names::goalSelected, {{"goal", goal}, {"detail", detail}, {"surface", surface}});
}

UsageEvent nextStepSelected(const std::string& nextStep, const std::string& outcome,
                            const std::optional<std::string>& goal, const std::string& surface) {
  return event(names::nextStepSelected,
               {{"next_step", nextStep}, {"outcome", outcome}, {"goal", textOrNull(goal)}, {"surface", surface}});
}

UsageEvent offerShown(const std::string& offerID, const std::string& offerSurface, const std::string& eligibilityReason,
                      const std::optional<std::string>& nextStep, const std::optional<std::string>& goal) {
  return event(names::offerShown, {
                                      {"offer_id", offerID},
                                      {"offer_surface", offerSurface},
                                      {"eligibility_reason", eligibilityReason},
                                      {"next_step", textOrNull(nextStep)},
                                      {"goal", textOrNull(goal)},
                                  });
}

UsageEvent offerAction(const std::string& offerID, const std::string& offerSurface, OfferActionKind action,
                       const std::optional<std::string>& result, const std::optional<std::string>& nextStep) {
  return event(names::offerAction, {
                                       {"offer_id", offerID},
                                       {"offer_surface", offerSurface},
                                       {"action", action == OfferActionKind::selected ? "selected" : "dismissed"},
                                       {"result", textOrNull(result)},
                                       {"next_step", textOrNull(nextStep)},
                                   });
}

UsageEvent appOpened(const std::string& appName) {
  constexpr std::string_view bundleSuffix = ".app";
  std::string app = appName;
  if (app.size() > bundleSuffix.size() && app.ends_with(bundleSuffix)) app.resize(app.size() - bundleSuffix.size());
  return event(names::appOpened, {{"app", app}});
}

UsageEvent chooserShown(const std::string& screen, const std::string& defaultOffered) {
  return event(names::chooserShown, {{"screen", screen}, {"default_offered", defaultOffered}});
}

UsageEvent verifyOfferedFollowup(const std::string& firstRemediationID) {
  return event(names::verifyOfferedFollowup, {{"first_remediation_id", firstRemediationID}});
}

UsageEvent auditReached(const std::vector<std::string>& aiTools, const std::vector<std::string>& terminals,
                        const std::string& entry) {
  return event(names::auditReached, {
                                        {"ai_tool_count", static_cast<std::int64_t>(aiTools.size())},
                                        {"terminal_count", static_cast<std::int64_t>(terminals.size())},
                                        {"ai_tools", textList(aiTools)},
                                        {"terminals", textList(terminals)},
                                        {"entry", entry},
                                    });
}

UsageEvent auditStageOutcome(const std::string& stageID, const std::string& outcome) {
  return event(names::auditStageOutcome, {{"stage_id", stageID}, {"outcome", outcome}});
}

UsageEvent auditOutboundClicked(const std::string& tool, const std::string& url) {
  return event(names::auditOutboundClicked, {{"tool", tool}, {"url", url}});
}

UsageEvent buildIntentPromptShown(const std::string& surface) {
  return event(names::buildIntentPromptShown, {{"surface", surface}});
}

UsageEvent buildIntentOptedIn(const std::string& surface) {
  return event(names::buildIntentOptedIn, {{"surface", surface}});
}

UsageEvent named(std::string_view name, JSONObject data) { return event(name, std::move(data)); }

}  // namespace bnch::usage_events
