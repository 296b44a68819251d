#include <cstdio>
#include <nlohmann/json.hpp>

#include "engine/platform/live_file_system.h"
#include "engine/product/python_product.h"
#include "engine/remediation/resource_locator.h"
#include "engine/telemetry/telemetry_configuration.h"
#include "engine/workflow/product_config.h"
#include "tools/benchkit-doctor/commands.h"

namespace bnch::doctor {

namespace {

nlohmann::ordered_json stateJson(const SharedDomainCopy::State& state) {
  return {{"headline", state.headline}, {"detail", state.detail}};
}

nlohmann::ordered_json experienceJson(const std::optional<ExperienceQuestionCopy>& question) {
  if (!question) return nullptr;
  nlohmann::ordered_json buckets = nlohmann::ordered_json::array();
  for (const auto& bucket : question->buckets) buckets.push_back({{"label", bucket.label}, {"value", bucket.value}});
  return {
      {"windowTitle", question->windowTitle},
      {"headline", question->headline},
      {"body", question->body},
      {"buckets", buckets},
      {"skipLabel", question->skipLabel},
      {"skipValue", question->skipValue},
  };
}

}  // namespace

// Prints every value of the current product configuration: identity, storage
// names, texts, links, the flow and which of the product's parts are installed.
int configCommand(const Arguments& arguments) {
  if (arguments != Arguments{"--json"}) {
    std::fprintf(stderr, "usage: benchkit-doctor config --json\n");
    return 2;
  }
  ProductConfig::setCurrent(pythonProduct());
  const ProductConfig config = ProductConfig::current();
  const SharedDomainCopy& shared = config.sharedDomainCopy;
  const LiveFileSystem fs;
  const std::optional<std::filesystem::path> resources = ResourceLocator(fs).resourcesDirectory();
  nlohmann::ordered_json json{
      {"appID", config.appID},
      {"displayName", config.displayName},
      {"appSupportDirName", config.appSupportDirName},
      {"userDefaultsPrefix", config.userDefaultsPrefix},
      {"shellConfigMarker", config.shellConfigMarker},
      {"datedShellMarker", config.datedShellMarker},
      {"cacheDirName", config.cacheDirName},
      {"copy",
       {
           {"welcomeExplainer", config.copy.welcomeExplainer},
           {"primaryCTA", config.copy.primaryCTA},
           {"welcomeHeadline", config.copy.welcomeHeadline ? nlohmann::ordered_json(*config.copy.welcomeHeadline)
                                                           : nlohmann::ordered_json(nullptr)},
       }},
      {"urls",
       {
           {"articleBase", config.urls.articleBase},
           {"privacy", config.urls.privacy},
           {"installMethods", config.urls.installMethods},
           {"troubleshooting", config.urls.troubleshooting},
           {"envConfig", config.urls.envConfig},
           {"commandLineTools", config.urls.commandLineTools},
           {"macosUpgrade", config.urls.macosUpgrade},
           {"warpAffiliate", config.urls.warpAffiliate},
       }},
      {"consent",
       {
           {"whatTitle", config.consent.whatTitle},
           {"whatBullets", config.consent.whatBullets},
           {"privacyTitle", config.consent.privacyTitle},
           {"privacyBullets", config.consent.privacyBullets},
       }},
      {"hasGoalPrompt", config.goalPrompt.has_value()},
      {"hasNextStepPrompt", config.nextStepPrompt.has_value()},
      {"offerCount", config.offerCatalog.size()},
      {"flow", std::string(toString(config.flow))},
      {"installed",
       {
           {"diagnosisProfile", config.diagnosisProfile != nullptr},
           {"spineProvider", config.spineProvider != nullptr},
           {"verifier", config.verifier != nullptr},
           {"prober", config.prober != nullptr},
           {"spineCopy", config.spineCopy != nullptr},
           {"stageCatalog", config.stageCatalog != nullptr},
           {"defaultSpinePolicy", config.spinePolicy == ProductConfig::defaultSpineRenderPolicy()},
       }},
      {"sharedDomainCopy",
       {
           {"cltReady", stateJson(shared.cltReady)},
           {"cltFixable", stateJson(shared.cltFixable)},
           {"cltNotAdmin", stateJson(shared.cltNotAdmin)},
           {"homebrewReady", stateJson(shared.homebrewReady)},
           {"homebrewFixable", stateJson(shared.homebrewFixable)},
           {"warpReady", stateJson(shared.warpReady)},
           {"warpFixable", stateJson(shared.warpFixable)},
           {"javaReady", stateJson(shared.javaReady)},
           {"javaAbsent", stateJson(shared.javaAbsent)},
           {"javaLegacyOnly", stateJson(shared.javaLegacyOnly)},
           {"javaHomeUnset", stateJson(shared.javaHomeUnset)},
       }},
      {"experienceQuestion", experienceJson(config.experienceQuestion)},
      // What this build carries: the version its usage events report, and the
      // folder of example projects and skills it finds (null: none).
      {"appVersion", TelemetryConfiguration::builtInAppVersion()},
      {"resourcesDirectory", resources ? nlohmann::ordered_json(resources->string()) : nlohmann::ordered_json(nullptr)},
  };
  std::puts(json.dump(2).c_str());
  return 0;
}

}  // namespace bnch::doctor
