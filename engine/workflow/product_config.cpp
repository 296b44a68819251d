#include "engine/workflow/product_config.h"

#include <mutex>

#include "engine/config/product_identity.h"
#include "engine/workflow/spine_render_policy.h"

namespace bnch {

std::string_view toString(SetupFlow flow) {
  switch (flow) {
    case SetupFlow::diagnose:
      return "diagnose";
    case SetupFlow::setupWorkflow:
      return "setupWorkflow";
  }
  return "setupWorkflow";
}

std::string_view toString(Outcome outcome) {
  switch (outcome) {
    case Outcome::ready:
      return "ready";
    case Outcome::stillBlocked:
      return "still_blocked";
    case Outcome::unsure:
      return "unsure";
  }
  return "unsure";
}

bool OfferRoute::operator==(const OfferRoute& other) const {
  if (kind != other.kind || offerID != other.offerID) return false;
  if (!then || !other.then) return !then && !other.then;
  return *then == *other.then;
}

const ExperienceQuestionCopy& ExperienceQuestionCopy::shared() {
  static const ExperienceQuestionCopy question{
      .windowTitle = "Your experience",
      .headline = "What's your experience level?",
      .body = "This helps us guide the installation.",
      .buckets = {{"Never coded", "never-coded"},
                  {"Learning to code", "learning"},
                  {"Some experience", "some-experience"},
                  {"Experienced", "very-experienced"}},
      .skipLabel = "Skip",
      .skipValue = "some-experience",
  };
  return question;
}

const SharedDomainCopy& SharedDomainCopy::standard() {
  static const SharedDomainCopy copy{
      .cltReady = {"Command Line Tools are installed",
                   "Apple's Command Line Tools are present \u2014 required for Homebrew and Git."},
      .cltFixable = {"Install Apple's Command Line Tools",
                     "Homebrew and Git need Apple's Command Line Tools. We'll open Apple's installer; it takes a few "
                     "minutes."},
      .cltNotAdmin =
          {"Not logged in as an administrator",
           "To continue and install Apple's Command Line Tools, you must log in with an administrator account. Right "
           "now, you don't have administrator privileges. Some people have a separate login as an administrator; if "
           "that's you, log out and switch accounts before running this app. If this is someone else's Mac, or a work "
           "Mac, ask whoever manages it to install Apple's Command Line Tools with xcode-select --install in Terminal. "
           "You can still try below; permissions sometimes differ from what we can detect."},
      .homebrewReady = {"Homebrew is installed",
                        "Homebrew is present \u2014 we'll use it to install your tools coherently and keep them "
                        "updatable."},
      .homebrewFixable = {"Homebrew isn't installed",
                          "We'll install Homebrew first \u2014 it's how we install your tools as one coherent, "
                          "updatable, removable setup."},
      .warpReady = {"Warp is installed", "You already have Warp."},
      .warpFixable = {"Try Warp \u2014 the AI-assisted terminal", "Warp is a modern macOS terminal we recommend."},
      .javaReady = {"Java is set up correctly", "A current Java is installed and JAVA_HOME points at it."},
      .javaAbsent = {"Java isn't installed",
                     "We'll install Eclipse Temurin, a free and well-maintained Java distribution, and set JAVA_HOME "
                     "so build tools can find it."},
      .javaLegacyOnly = {"Java is installed, but it's too old",
                         "The Java on this Mac is older than most current software expects. We'll install a current "
                         "Eclipse Temurin alongside it and set JAVA_HOME so build tools use it."},
      .javaHomeUnset = {"JAVA_HOME isn't set",
                        "A current Java is installed, but JAVA_HOME doesn't point at it, so build tools can't find "
                        "it. We'll set it for you."},
  };
  return copy;
}

std::shared_ptr<const SpineRenderPolicy> ProductConfig::defaultSpineRenderPolicy() {
  static const auto policy = std::make_shared<const SpineRenderPolicy>();
  return policy;
}

namespace {

// A minimal valid product that holds the current slot until launch installs the
// real one.
ProductConfig placeholderConfig() {
  ProductConfig config;
  config.appID = "bnch-core";
  config.displayName = "Benchkit";
  config.appSupportDirName = "Benchkit";
  config.userDefaultsPrefix = std::string(identity::makerReverseDomain) + ".bnch.core";
  config.shellConfigMarker = "Benchkit";
  config.cacheDirName = "Benchkit";
  return config;
}

std::mutex& currentLock() {
  static std::mutex lock;
  return lock;
}

ProductConfig& currentStorage() {
  static ProductConfig config = placeholderConfig();
  return config;
}

}  // namespace

ProductConfig ProductConfig::current() {
  std::lock_guard guard(currentLock());
  return currentStorage();
}

void ProductConfig::setCurrent(ProductConfig config) {
  std::lock_guard guard(currentLock());
  currentStorage() = std::move(config);
}

}  // namespace bnch
