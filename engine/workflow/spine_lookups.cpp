#include "engine/workflow/spine_lookups.h"

#include "engine/workflow/shared_stage_catalog.h"

namespace bnch::spine_lookups {

namespace {

// Used when a configuration carries no spine copy: only the defaults.
class DefaultSpineCopy final : public SpineCopyProviding {
 public:
  std::optional<SpineScreenCopy> screenCopy(const std::string&, const std::optional<SetupDiagnosis>&) const override {
    return std::nullopt;
  }
  std::string summaryLine(const std::string& domain, const SetupDiagnosis& diagnosis) const override {
    return SharedStageCatalog::displayName(domain) + ": " + std::string(toString(diagnosis.classification));
  }
  std::string diagnosisArticlePath() const override { return ""; }
  std::string verifyingHeadline() const override { return "Checking your setup…"; }
  std::string keepGoingHeadline() const override { return "Your setup is ready"; }
  std::string outcomePassedHeadline() const override { return "Your setup is ready"; }
  std::string outcomePassedArticlePath() const override { return ""; }
  std::string outcomeFailedArticlePath() const override { return ""; }
};

const SpineCopyProviding& copyOf(const ProductConfig& config) {
  static const DefaultSpineCopy fallback;
  return config.spineCopy ? *config.spineCopy : fallback;
}

const SpineRenderPolicy& policyOf(const ProductConfig& config) {
  static const SpineRenderPolicy fallback;
  return config.spinePolicy ? *config.spinePolicy : fallback;
}

}  // namespace

std::string articleURL(const ProductConfig& config, const std::string& path) {
  std::string base = config.urls.articleBase;
  if (path.empty()) return base;
  std::string tail = path;
  while (!tail.empty() && tail.front() == '/') tail.erase(tail.begin());
  if (!base.empty() && base.back() != '/') base += '/';
  return base + tail;
}

std::string stageArticleURL(const ProductConfig& config, const std::string& domain) {
  const SpineRenderPolicy& policy = policyOf(config);
  const auto entry = policy.stageArticlePaths.find(domain);
  return articleURL(config, entry != policy.stageArticlePaths.end() ? entry->second : policy.fallbackArticlePath);
}

std::string actionCaption(const ProductConfig& config, const SetupRemediation& remediation) {
  const SpineRenderPolicy& policy = policyOf(config);
  const auto entry = policy.remediationCaptions.find(remediation.id());
  return entry != policy.remediationCaptions.end() ? entry->second : remediation.detail();
}

std::string actionCaption(const ProductConfig& config, const SetupAction& action) {
  const SpineRenderPolicy& policy = policyOf(config);
  const auto entry = policy.remediationCaptions.find(action.id);
  return entry != policy.remediationCaptions.end() ? entry->second : action.caption;
}

std::string passwordDialogSentence(const ProductConfig& config, const std::string& remediationID) {
  const SpineRenderPolicy& policy = policyOf(config);
  const auto entry = policy.privilegedReasons.find(remediationID);
  if (entry != policy.privilegedReasons.end()) return entry->second;
  return policy.privilegedActionReason.value_or(config.displayName);
}

std::string windowTitle(const ProductConfig& config, const Step& step) {
  const SpineCopyProviding& copy = copyOf(config);
  switch (step.kind) {
    case Step::Kind::loading:
      return config.displayName;
    case Step::Kind::experienceQuestion:
      return config.experienceQuestion ? config.experienceQuestion->windowTitle : config.displayName;
    case Step::Kind::diagnosisSummary:
      return copy.diagnosisWindowTitle();
    case Step::Kind::postDiagnosisDecline:
      return "Python setup";
    case Step::Kind::readinessWarning:
      return step.warning.screenCopy().windowTitle;
    case Step::Kind::stage:
      if (auto screen = copy.screenCopy(step.name, std::nullopt)) return screen->windowTitle;
      return SharedStageCatalog::displayName(step.name);
    case Step::Kind::interstitial: {
      const SpineRenderPolicy& policy = policyOf(config);
      return policy.postPrimaryInterstitial ? policy.postPrimaryInterstitial->windowTitle : config.displayName;
    }
    case Step::Kind::verifying:
    case Step::Kind::outcome:
      return copy.outcomeWindowTitle();
    case Step::Kind::keepGoingGate:
      return copy.keepGoingWindowTitle();
    case Step::Kind::satisfaction:
      return copy.satisfactionWindowTitle();
  }
  return config.displayName;
}

StageTexts stageTexts(const ProductConfig& config, const std::string& domain, const SetupDiagnosis& diagnosis) {
  if (auto screen = copyOf(config).screenCopy(domain, diagnosis)) {
    return {screen->headline, screen->body, screen->footer};
  }
  return {diagnosis.headline, diagnosis.detail, diagnosis.footer};
}

std::vector<std::string> summaryLines(const ProductConfig& config, const std::optional<SetupWorkflow>& workflow) {
  std::vector<std::string> lines;
  if (!workflow) return lines;
  const SpineRenderPolicy& policy = policyOf(config);
  const SpineCopyProviding& copy = copyOf(config);
  for (const auto& stage : workflow->stages(DomainPlacement::primary)) {
    if (policy.summaryExcludedDomains.count(stage->domainID())) continue;
    lines.push_back(copy.summaryLine(stage->domainID(), stage->diagnosis()));
  }
  return lines;
}

std::string summaryHeadline(const ProductConfig& config, const std::optional<SetupWorkflow>& workflow) {
  const SpineCopyProviding& copy = copyOf(config);
  if (workflow && workflow->nextDomain(std::nullopt, DomainPlacement::primary)) return copy.diagnosisHeadline();
  return copy.diagnosisAllReadyHeadline();
}

OutcomeTexts outcomeTexts(const ProductConfig& config, bool verificationPassed) {
  const SpineCopyProviding& copy = copyOf(config);
  if (verificationPassed) {
    return {copy.outcomePassedHeadline(), copy.outcomePassedBody(),
            articleURL(config, copy.outcomePassedArticlePath())};
  }
  return {copy.outcomeFailedHeadline(), copy.outcomeFailedBody(), articleURL(config, copy.outcomeFailedArticlePath())};
}

}  // namespace bnch::spine_lookups
