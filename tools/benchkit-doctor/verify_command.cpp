#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/platform/app_services.h"
#include "engine/platform/shell_runner.h"
#include "engine/product/python_product.h"
#include "engine/verification/python_verifier.h"
#include "engine/workflow/product_config.h"
#include "tools/benchkit-doctor/commands.h"

namespace bnch::doctor {

namespace {

nlohmann::ordered_json toJSON(const SetupVerificationResult& result) {
  nlohmann::ordered_json details = nlohmann::ordered_json::object();
  for (const auto& [key, value] : result.details) details[key] = value;
  return nlohmann::ordered_json{
      {"rawOutput", result.rawOutput},
      {"passed", result.passed},
      {"exitCode", result.exitCode ? nlohmann::ordered_json(*result.exitCode) : nlohmann::ordered_json(nullptr)},
      {"engineOutcome",
       result.engineOutcome ? nlohmann::ordered_json(*result.engineOutcome) : nlohmann::ordered_json(nullptr)},
      {"verifiedItems", result.verifiedItems},
      {"details", details},
      {"failedChecks", result.failedChecks},
  };
}

void printHuman(const SetupVerificationResult& result) {
  std::printf("Verification %s", result.passed ? "passed" : "failed");
  if (result.engineOutcome) std::printf(" (%s)", result.engineOutcome->c_str());
  std::printf("\n");
  for (const std::string& item : result.verifiedItems) std::printf("  \u2713 %s\n", item.c_str());
  for (const std::string& check : result.failedChecks) std::printf("  \u2717 %s\n", check.c_str());
  if (auto undetermined = result.details.find("undetermined_checks"); undetermined != result.details.end()) {
    std::printf("  ? %s (could not be checked: network)\n", undetermined->second.c_str());
  }
  if (!result.details.empty()) {
    std::printf("Details:\n");
    for (const auto& [key, value] : result.details) std::printf("  %s: %s\n", key.c_str(), value.c_str());
  }
  if (!result.rawOutput.empty()) std::printf("Output:\n%s\n", result.rawOutput.c_str());
}

}  // namespace

// Runs the Python verifier on this machine with the live services and prints the
// result. Exit code 0 when the verification passed, 1 when it failed.
int verifyCommand(const Arguments& arguments) {
  const bool json = arguments == Arguments{"--json"};
  if (!json && !arguments.empty()) {
    std::fprintf(stderr, "usage: benchkit-doctor verify [--json]\n");
    return 2;
  }
  ProductConfig::setCurrent(pythonProduct());
  const ProductConfig config = ProductConfig::current();
  const AppServices& services = AppServices::live();
  const ShellRunner shell(services.processRunner);
  std::shared_ptr<const SetupVerifier> verifier = config.verifier;
  if (!verifier) verifier = std::make_shared<PythonVerifier>(config.cacheDirName);

  const SetupVerificationResult result = verifier->verify(std::nullopt, shell, *services.fs);
  if (json) {
    std::puts(toJSON(result).dump(2).c_str());
  } else {
    printHuman(result);
  }
  return result.passed ? 0 : 1;
}

}  // namespace bnch::doctor
