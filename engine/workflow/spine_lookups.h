#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/remediation/setup_remediation.h"
#include "engine/workflow/flow_step.h"
#include "engine/workflow/product_config.h"
#include "engine/workflow/setup_workflow.h"
#include "engine/workflow/spine_copy.h"
#include "engine/workflow/spine_render_policy.h"

// What the screens derive from a product's spine copy and render policy. Pure
// functions over the configuration; a configuration without a spine copy or
// render policy gives the fallbacks stated per function.
namespace bnch::spine_lookups {

// The stage's article: the product's article base with the stage's path (or the
// fallback path) appended as one more component; the base itself for an empty path.
std::string stageArticleURL(const ProductConfig& config, const std::string& domain);
// Any article path joined to the article base in the same way.
std::string articleURL(const ProductConfig& config, const std::string& path);

// The caption under an action's button: the policy's caption for the remediation
// when present, else the remediation's own explanation. Empty means none is shown.
std::string actionCaption(const ProductConfig& config, const SetupRemediation& remediation);
std::string actionCaption(const ProductConfig& config, const SetupAction& action);

// The sentence of the administrator-password dialog for a remediation.
std::string passwordDialogSentence(const ProductConfig& config, const std::string& remediationID);

// The workflow screen's window title for a step.
std::string windowTitle(const ProductConfig& config, const Step& step);

struct StageTexts {
  std::string headline;
  std::string body;
  std::optional<std::string> footer;
  bool operator==(const StageTexts&) const = default;
};
// A stage screen's headline and body: the spine copy's, else the diagnosis's.
StageTexts stageTexts(const ProductConfig& config, const std::string& domain, const SetupDiagnosis& diagnosis);

// The diagnosis summary: one line per primary stage not excluded by the policy.
std::vector<std::string> summaryLines(const ProductConfig& config, const std::optional<SetupWorkflow>& workflow);
// The summary headline: the all-ready headline unless a primary stage needs work.
std::string summaryHeadline(const ProductConfig& config, const std::optional<SetupWorkflow>& workflow);

struct OutcomeTexts {
  std::string headline;
  std::string body;
  std::string articleURL;
  bool operator==(const OutcomeTexts&) const = default;
};
OutcomeTexts outcomeTexts(const ProductConfig& config, bool verificationPassed);

}  // namespace bnch::spine_lookups
