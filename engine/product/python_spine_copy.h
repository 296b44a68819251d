#pragma once

#include "engine/workflow/product_config.h"
#include "engine/workflow/spine_copy.h"

namespace bnch {

// The Python product's screen texts. Stateless; safe from any thread.
class PythonSpineCopy final : public SpineCopyProviding {
 public:
  // `sharedCopy` is the configuration's shared domain texts, used to recognise
  // the not-administrator Command Line Tools state.
  explicit PythonSpineCopy(SharedDomainCopy sharedCopy = SharedDomainCopy::standard())
      : sharedCopy_(std::move(sharedCopy)) {}

  std::optional<SpineScreenCopy> screenCopy(const std::string& domain,
                                            const std::optional<SetupDiagnosis>& diagnosis) const override;
  std::string summaryLine(const std::string& domain, const SetupDiagnosis& diagnosis) const override;

  std::string diagnosisArticlePath() const override { return "python/system-default"; }
  std::string verifyingHeadline() const override { return "Checking that Python works…"; }
  std::string keepGoingHeadline() const override { return "Python is ready"; }
  std::string keepGoingBody() const override {
    return "Want to keep going and set up the rest of your developer environment? You can add a better editor, AI "
           "coding tools, and other programming languages.";
  }
  std::string outcomePassedHeadline() const override { return "Your Python is ready"; }
  std::string outcomePassedBody() const override { return "Python is installed and can install packages"; }
  std::string outcomeFailedBody() const override {
    return "Some steps could not be verified. You can re-run the setup, or continue and try again.";
  }
  std::string outcomePassedArticlePath() const override { return "python"; }
  std::string outcomeFailedArticlePath() const override { return "python"; }

 private:
  SharedDomainCopy sharedCopy_;
};

}  // namespace bnch
