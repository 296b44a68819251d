#include "engine/product/python_product.h"

#include "engine/config/product_identity.h"
#include "engine/probes/python_prober.h"
#include "engine/product/python_render_policy.h"
#include "engine/product/python_spine_copy.h"
#include "engine/product/python_spine_provider.h"
#include "engine/verification/python_verifier.h"
#include "engine/workflow/product_config.h"
#include "engine/workflow/shared_stage_catalog.h"

namespace bnch {

namespace {

std::string article(const char* path) { return std::string(identity::articleHost) + path; }

ProductConfig makePythonConfig() {
  ProductConfig config;
  config.appID = "bnch-python";
  config.displayName = "Benchkit for Python";
  config.appSupportDirName = "Benchkit for Python";
  config.userDefaultsPrefix = std::string(identity::makerReverseDomain) + ".bnch.python";
  config.shellConfigMarker = "Benchkit";
  config.datedShellMarker = false;
  config.cacheDirName = "BenchkitPython";
  config.copy = {
      .welcomeExplainer =
          "Python is the language, and uv is the tool that installs and manages it. The app will check what Python "
          "you already have, then offer to set up a version that works properly for projects. Nothing changes "
          "without your okay.",
      .primaryCTA = "Check my setup",
      .welcomeHeadline = "Set up Python on your Mac",
  };
  config.urls = {
      .articleBase = identity::articleHost,
      .privacy = article("/benchkit/privacy"),
      .installMethods = article("/python"),
      .troubleshooting = article("/python"),
      .envConfig = article("/terminal/configuration"),
      .commandLineTools = article("/commandlinetools"),
      .macosUpgrade = article("/macos/upgrade"),
      .warpAffiliate = std::string(identity::warpHost) +
                       "/mac-terminal?utm_source=quillora&utm_medium=app&utm_campaign=quillora_20260516&utm_"
                       "content=bnch_python",
  };
  config.consent = {
      .whatTitle = "What this app does",
      .whatBullets = {"Checks which versions of Python are already on your Mac.",
                      "Installs and configures Python with uv if you wish.",
                      "Asks for your permission before installing or changing anything."},
      .privacyTitle = "Your privacy and Mac integrity are respected",
      .privacyBullets = {"The app never identifies you and never records your IP address.",
                         "No passwords or file contents are ever recorded.", "Usage events are anonymous.",
                         "Answers to questions are anonymous.",
                         "A random session ID is created for anonymous usage counts."},
  };
  config.flow = SetupFlow::setupWorkflow;
  config.experienceQuestion = ExperienceQuestionCopy::shared();
  config.verifier = std::make_shared<PythonVerifier>(config.cacheDirName);
  config.spineProvider = std::make_shared<PythonSpineProvider>();
  config.spineCopy = std::make_shared<PythonSpineCopy>(config.sharedDomainCopy);
  config.spinePolicy = pythonRenderPolicy();
  config.stageCatalog = std::make_shared<SharedStageCatalog>();
  config.prober = std::make_shared<PythonProber>();
  return config;
}

}  // namespace

const ProductConfig& pythonProduct() {
  static const ProductConfig config = makePythonConfig();
  return config;
}

}  // namespace bnch
