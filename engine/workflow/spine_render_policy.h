#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/probes/readiness_config.h"
#include "engine/probes/setup_probe_bundle.h"
#include "engine/probes/system_profile.h"
#include "engine/telemetry/json_value.h"
#include "engine/verification/setup_verification_result.h"
#include "engine/workflow/domain.h"

namespace bnch {

struct DiagnosisEvidence {
  struct Section {
    std::string heading;
    std::vector<std::string> rows;
    bool operator==(const Section&) const = default;
  };
  std::vector<Section> sections;
  std::optional<std::string> note;

  bool operator==(const DiagnosisEvidence&) const = default;
};

// How the engine and the screens treat each domain of a product: a plain record
// of tables and hooks. The hooks hold no state and may be called from any thread.
struct SpineRenderPolicy {
  struct SpineOffer {
    std::string offerID;
    std::string offerSurface;
    std::string eligibilityReason;
    bool operator==(const SpineOffer&) const = default;
  };
  struct InterstitialScreen {
    std::string windowTitle;
    std::string headline;
    std::string body;
    std::string buttonLabel;
    std::optional<std::string> disclosure;
    std::string articlePath;
    bool operator==(const InterstitialScreen&) const = default;
  };
  struct OpenableApp {
    std::string label;
    std::string appName;  // with ".app"
    bool operator==(const OpenableApp&) const = default;
  };
  struct CaskChoice {
    std::string label;
    std::optional<std::string> subtitle;
    std::string remediationID;
    std::string accessibilityID;
    bool operator==(const CaskChoice&) const = default;
  };
  struct SpecialStageKind {
    enum class Kind {
      groupedInstall,
      caskMultiselect,
      languagesMultiselect,
      projectActions,
      skillsMultiselect,
      mcpMultiselect,
      gitActions,
    };
    Kind kind = Kind::projectActions;
    std::string title;              // groupedInstall, caskMultiselect
    std::string installID;          // groupedInstall, caskMultiselect
    std::string accessibilityID;    // groupedInstall
    std::vector<CaskChoice> items;  // caskMultiselect
    bool operator==(const SpecialStageKind&) const = default;
  };

  std::set<std::string> summaryExcludedDomains;
  std::map<std::string, SpineOffer> offers;
  std::set<std::string> homebrewIndependentDomains{Domain::clt, Domain::homebrew};
  std::set<std::string> advanceOnPartialFailureDomains;
  std::map<std::string, std::string> stageArticlePaths;
  std::string fallbackArticlePath;
  std::optional<std::string> privilegedActionReason;
  std::map<std::string, std::string> privilegedReasons;
  std::function<void(const std::string& domain, const SetupProbeBundle& probes)> onStageBlocked;
  std::optional<InterstitialScreen> postPrimaryInterstitial;
  std::optional<NetworkReadinessConfig> networkReadiness;
  std::optional<DiskReadinessConfig> diskReadiness;
  std::map<std::string, std::string> remediationCaptions;
  std::function<void(const std::optional<std::string>& engineOutcome, const std::string& selfReport)> onOutcomeReported;
  std::function<JSONObject(const std::optional<SystemProfile>&)> diagnosisPayloadExtras;
  std::function<JSONObject(const SetupVerificationResult&, const std::optional<SystemProfile>&)> verifyPayloadExtras;
  std::function<std::vector<OpenableApp>(const std::optional<SystemProfile>&,
                                         const std::optional<SetupVerificationResult>&)>
      outcomeOpenableApps;
  std::map<std::string, SpecialStageKind> specialStages;
  std::function<std::optional<DiagnosisEvidence>(const SetupProbeBundle&)> diagnosisEvidence;
  std::function<std::optional<std::string>(const SetupProbeBundle&)> postDiagnosisDecline;
  std::function<std::optional<std::string>(const SetupProbeBundle&)> outcomeLimitation;
};

}  // namespace bnch
