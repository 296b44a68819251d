#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/probes/setup_probe_bundle.h"
#include "engine/probes/system_profile.h"
#include "engine/remediation/setup_remediation.h"
#include "engine/workflow/homebrew_state.h"
#include "engine/workflow/product_config.h"
#include "engine/workflow/setup_stage.h"
#include "engine/workflow/spine_provider.h"

namespace bnch {

// The diagnoses, actions and display names of the domains several products share.
// Every operation is pure and may be called from any thread; the type has no
// state and exists to fill the configuration's stage-catalogue slot.
class SharedStageCatalog final : public StageCatalogProviding {
 public:
  // The shared diagnosis of "ai-claude", "codex", "editor", "notes",
  // "shell-config", "languages", "agent-docs", "project", "skills", "mcp" and
  // "git"; nothing for any other domain.
  static std::optional<SetupDiagnosis> diagnosis(const std::string& domain, const SystemProfile& profile,
                                                 const SetupProbeBundle& probes);
  // The remediations behind those domains' actions, in button order; empty for
  // any other domain and for the domains whose choices are made on their own
  // screens ("languages", "skills", "mcp", "git").
  static std::vector<SetupRemediation> remediations(const std::string& domain, const SystemProfile& profile,
                                                    const SetupProbeBundle& probes);

  static SetupDiagnosis cltDiagnosis(const SystemProfile& profile, const SharedDomainCopy& copy);
  static SetupDiagnosis homebrewDiagnosis(const SharedDomainCopy& copy, HomebrewState state);
  static HomebrewState homebrewState(const SystemProfile& profile, const SetupProbeBundle& probes) {
    return bnch::homebrewState(profile, probes);
  }
  // The short title of a domain; unknown domains are title-cased at "-".
  static std::string displayName(std::string_view domain);

  // The diagnosis of a domain nobody knows: its identifier as headline, no
  // detail, `unknown`.
  static SetupDiagnosis unknownDiagnosis(const std::string& domain);

  // A remediation as a button: identifier, title, explanation and how its
  // completion is confirmed.
  static SetupAction action(const SetupRemediation& remediation);
  static std::vector<SetupAction> actions(const std::vector<SetupRemediation>& remediations);
  static VerifyPolicy verifyPolicy(const SetupRemediation& remediation);

  // Whether the Mac shows signs of development work: a package or version
  // manager (Homebrew, SDKMAN, mise, jenv, asdf), any AI coding tool, or a
  // terminal other than Apple's.
  static bool hasDevelopmentTooling(const SystemProfile& profile);
};

}  // namespace bnch
