// The Python screen texts and the lookups the screens derive from them.
#include <gtest/gtest.h>

#include "engine/product/python_product.h"
#include "engine/product/python_render_policy.h"
#include "engine/product/python_spine_copy.h"
#include "engine/workflow/shared_stage_catalog.h"
#include "engine/workflow/spine_lookups.h"

namespace bnch {
namespace {

using Class = SetupDiagnosisClassification;

ProductConfig pythonConfig() {
  ProductConfig config = pythonProduct();
  config.spineCopy = std::make_shared<PythonSpineCopy>();
  config.spinePolicy = pythonRenderPolicy();
  return config;
}

TEST(PythonSpineCopy, ScreenCopyPerDomainAndTheStatesThatKeepTheDiagnosisWords) {
  const PythonSpineCopy copy;
  EXPECT_EQ(copy.screenCopy("python", std::nullopt),
            (SpineScreenCopy{"Python", "Install Python with uv",
                             "This app will add one line to your shell configuration so the `python` command works in "
                             "a new terminal window.",
                             std::nullopt}));
  EXPECT_EQ(copy.screenCopy("warp", std::nullopt)->windowTitle, "The terminal");
  EXPECT_EQ(copy.screenCopy("python-project", std::nullopt)->windowTitle, "Example project");
  for (const char* domain : {"shell-config", "git", "languages", "Python"}) {
    EXPECT_FALSE(copy.screenCopy(domain, std::nullopt)) << domain;
  }

  const SetupDiagnosis notAdmin =
      SharedStageCatalog::cltDiagnosis(SystemProfile{.isAdministrator = false}, SharedDomainCopy::standard());
  const auto clt = copy.screenCopy("clt", notAdmin);
  EXPECT_EQ(clt->windowTitle, "Command Line Tools");
  EXPECT_EQ(clt->headline, "Not logged in as an administrator");
  EXPECT_EQ(clt->body, notAdmin.detail);
  EXPECT_EQ(
      copy.screenCopy("clt", SharedStageCatalog::cltDiagnosis(SystemProfile{}, SharedDomainCopy::standard()))->headline,
      "Install the Command Line Tools");

  for (HomebrewState state : {HomebrewState::notOnPath, HomebrewState::wrongChip}) {
    const SetupDiagnosis diagnosis = SharedStageCatalog::homebrewDiagnosis(SharedDomainCopy::standard(), state);
    EXPECT_EQ(copy.screenCopy("homebrew", diagnosis),
              (SpineScreenCopy{"Homebrew package manager", diagnosis.headline, diagnosis.detail, std::nullopt}));
  }
  EXPECT_EQ(copy.screenCopy("homebrew",
                            SharedStageCatalog::homebrewDiagnosis(SharedDomainCopy::standard(), HomebrewState::absent))
                ->headline,
            "Install Homebrew");
}

TEST(PythonSpineCopy, SummaryLines) {
  const PythonSpineCopy copy;
  const auto diagnosis = [](Class c, std::string headline = "h") {
    return SetupDiagnosis{std::move(headline), "", c, std::nullopt};
  };
  EXPECT_EQ(copy.summaryLine("clt", diagnosis(Class::ready)), "Command Line Tools: installed");
  EXPECT_EQ(copy.summaryLine("shell-config", diagnosis(Class::fixable)), "Shell configuration: not installed");
  EXPECT_EQ(copy.summaryLine("git", diagnosis(Class::blocked)), "Git and GitHub: needs attention");
  EXPECT_EQ(copy.summaryLine("mcp", diagnosis(Class::unknown)), "mcp: unknown");
  EXPECT_EQ(copy.summaryLine("homebrew", SharedStageCatalog::homebrewDiagnosis(SharedDomainCopy::standard(),
                                                                               HomebrewState::notOnPath)),
            "Homebrew: installed, not on PATH");
  EXPECT_EQ(copy.summaryLine("homebrew", SharedStageCatalog::homebrewDiagnosis(SharedDomainCopy::standard(),
                                                                               HomebrewState::wrongChip)),
            "Homebrew: installed for the wrong chip");
  // The wrong-chip words belong to Homebrew only.
  EXPECT_EQ(copy.summaryLine("python", diagnosis(Class::fixable, "Homebrew is installed for the wrong chip")),
            "Python: not installed");
}

TEST(PythonSpineCopy, PythonValuesAndDefaults) {
  const PythonSpineCopy copy;
  EXPECT_EQ(copy.verifyingHeadline(), "Checking that Python works\u2026");
  EXPECT_EQ(copy.diagnosisAllReadyHeadline(), "Here's what the system check found");
  EXPECT_EQ(copy.keepGoingWindowTitle(), "Ready for more?");
  EXPECT_EQ(copy.keepGoingBody(),
            "Want to keep going and set up the rest of your developer environment? You can add a better editor, AI "
            "coding tools, and other programming languages.");
  EXPECT_EQ(copy.outcomeAgentSuggestion(), "");
  EXPECT_EQ(copy.diagnosisArticlePath(), "python/system-default");
}

TEST(SpineLookups, ArticlesCaptionsAndPasswordSentences) {
  const ProductConfig config = pythonConfig();
  EXPECT_EQ(spine_lookups::stageArticleURL(config, "python"), config.urls.articleBase + "/python/uv");
  EXPECT_EQ(spine_lookups::stageArticleURL(config, "skills"), config.urls.articleBase + "/benchkit/coming-soon");
  EXPECT_EQ(spine_lookups::articleURL(config, ""), config.urls.articleBase);

  EXPECT_EQ(spine_lookups::actionCaption(config, SetupRemediation::of(SetupRemediation::Kind::installWarp)),
            "We'll install Warp via Homebrew, the fast terminal Quillora recommends.");
  EXPECT_EQ(spine_lookups::actionCaption(config, SetupRemediation::of(SetupRemediation::Kind::installHomebrew)),
            SetupRemediation::of(SetupRemediation::Kind::installHomebrew).detail());

  EXPECT_EQ(spine_lookups::passwordDialogSentence(config, "brew:temurin"), "Enter a password to install Java");
  EXPECT_EQ(spine_lookups::passwordDialogSentence(config, "homebrew"), "Set up Python");
  ProductConfig bare = config;
  bare.spinePolicy = ProductConfig::defaultSpineRenderPolicy();
  EXPECT_EQ(spine_lookups::passwordDialogSentence(bare, "homebrew"), "Benchkit for Python");
}

TEST(SpineLookups, WindowTitlesByStep) {
  const ProductConfig config = pythonConfig();
  using K = Step::Kind;
  EXPECT_EQ(spine_lookups::windowTitle(config, Step::of(K::loading)), "Benchkit for Python");
  EXPECT_EQ(spine_lookups::windowTitle(config, Step::of(K::experienceQuestion)), "Your experience");
  EXPECT_EQ(spine_lookups::windowTitle(config, Step::of(K::diagnosisSummary)), "Diagnosis");
  EXPECT_EQ(spine_lookups::windowTitle(config, Step::stage("homebrew")), "Homebrew package manager");
  EXPECT_EQ(spine_lookups::windowTitle(config, Step::stage("shell-config")), "Shell Configuration");
  EXPECT_EQ(spine_lookups::windowTitle(config, Step::stage("python-project")), "Example project");
  EXPECT_EQ(spine_lookups::windowTitle(config, Step::of(K::interstitial)), "Benchkit for Python");
  EXPECT_EQ(spine_lookups::windowTitle(config, Step::of(K::verifying)), "Done");
  EXPECT_EQ(spine_lookups::windowTitle(config, Step::of(K::keepGoingGate)), "Ready for more?");
  EXPECT_EQ(spine_lookups::windowTitle(config, Step::of(K::satisfaction)), "One last question");
}

TEST(SpineLookups, StageTextsFallBackToTheDiagnosis) {
  const ProductConfig config = pythonConfig();
  const SetupDiagnosis shell{"Shell configuration", "We'll configure", SetupDiagnosisClassification::fixable,
                             std::nullopt};
  EXPECT_EQ(spine_lookups::stageTexts(config, "shell-config", shell),
            (spine_lookups::StageTexts{"Shell configuration", "We'll configure", std::nullopt}));
  EXPECT_EQ(spine_lookups::stageTexts(config, "warp", shell).headline, "Install Warp, a better terminal");
  const auto passed = spine_lookups::outcomeTexts(config, true);
  EXPECT_EQ(passed.headline, "Your Python is ready");
  EXPECT_EQ(passed.body, "Python is installed and can install packages");
  EXPECT_EQ(passed.articleURL, config.urls.articleBase + "/python");
}

}  // namespace
}  // namespace bnch
