#pragma once

#include <optional>
#include <string>

#include "engine/workflow/setup_stage.h"

namespace bnch {

// The texts of one stage screen.
struct SpineScreenCopy {
  std::string windowTitle;
  std::string headline;
  std::string body;
  std::optional<std::string> footer;

  bool operator==(const SpineScreenCopy&) const = default;
};

// A product's screen texts. The two operations and the texts without a default
// must be supplied; the rest have defaults shared by every product.
class SpineCopyProviding {
 public:
  virtual ~SpineCopyProviding() = default;

  virtual std::optional<SpineScreenCopy> screenCopy(const std::string& domain,
                                                    const std::optional<SetupDiagnosis>& diagnosis) const = 0;
  virtual std::string summaryLine(const std::string& domain, const SetupDiagnosis& diagnosis) const = 0;

  virtual std::string diagnosisWindowTitle() const { return "Diagnosis"; }
  virtual std::string diagnosisHeadline() const { return "Here's what the system check found"; }
  virtual std::string diagnosisAllReadyHeadline() const { return diagnosisHeadline(); }
  virtual std::string diagnosisFooter() const { return "Nothing changes on your Mac without your okay."; }
  virtual std::string diagnosisArticlePath() const = 0;
  virtual std::string verifyingHeadline() const = 0;
  virtual std::string keepGoingWindowTitle() const { return "Ready for more?"; }
  virtual std::string keepGoingHeadline() const = 0;
  virtual std::string keepGoingBody() const {
    return "Want to keep going and set up the rest of your developer environment? You can add a better editor, AI "
           "coding tools, and programming languages.";
  }
  virtual std::string outcomeWindowTitle() const { return "Done"; }
  virtual std::string outcomePassedHeadline() const = 0;
  virtual std::string outcomeFailedHeadline() const { return "Setup didn't finish"; }
  virtual std::string outcomePassedBody() const { return "All tools are verified as working"; }
  virtual std::string outcomeFailedBody() const {
    return "Some tools could not be verified. You can re-run the setup, or continue and try again.";
  }
  virtual std::string outcomeAgentSuggestion() const { return ""; }
  virtual std::string outcomeQuestion() const { return "Did this pretty much complete what you came to do?"; }
  virtual std::string outcomePassedArticlePath() const = 0;
  virtual std::string outcomeFailedArticlePath() const = 0;
  virtual std::string satisfactionWindowTitle() const { return "One last question"; }
  virtual std::string projectFolderPrompt() const { return "Choose a folder to work in"; }
};

}  // namespace bnch
