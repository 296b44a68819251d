#include <cstdio>
#include <string>

#include "engine/platform/app_services.h"
#include "engine/product/python_product.h"
#include "engine/workflow/machine_snapshot.h"
#include "engine/workflow/product_config.h"
#include "engine/workflow/spine_lookups.h"
#include "engine/workflow/spine_provider.h"
#include "engine/workflow/spine_render_policy.h"
#include "tools/benchkit-doctor/commands.h"

namespace bnch::doctor {

namespace {

Json optionalText(const std::optional<std::string>& text) { return text ? Json(*text) : Json(nullptr); }

Json stageJson(const WorkflowStep& step) {
  const SetupStage& stage = *step.stage;
  Json actions = Json::array();
  for (const SetupAction& action : stage.actions()) {
    actions.push_back({{"id", action.id},
                       {"displayLabel", action.displayLabel},
                       {"caption", action.caption},
                       {"verifyPolicy", std::string(toString(action.verifyPolicy))}});
  }
  const SetupDiagnosis& diagnosis = stage.diagnosis();
  return {{"domainID", stage.domainID()},
          {"placement", std::string(toString(step.placement))},
          {"diagnosis",
           {{"headline", diagnosis.headline},
            {"detail", diagnosis.detail},
            {"classification", std::string(toString(diagnosis.classification))},
            {"footer", optionalText(diagnosis.footer)}}},
          {"actions", actions}};
}

Json evidenceJson(const std::optional<DiagnosisEvidence>& evidence) {
  if (!evidence) return nullptr;
  Json sections = Json::array();
  for (const DiagnosisEvidence::Section& section : evidence->sections) {
    sections.push_back({{"heading", section.heading}, {"rows", section.rows}});
  }
  return {{"sections", sections}, {"note", optionalText(evidence->note)}};
}

void printText(const std::vector<std::string>& summary, const std::optional<DiagnosisEvidence>& evidence,
               const std::optional<std::string>& declineOwner, const std::optional<SetupWorkflow>& workflow) {
  for (const std::string& line : summary) std::printf("%s\n", line.c_str());
  if (evidence) {
    for (const DiagnosisEvidence::Section& section : evidence->sections) {
      std::printf("\n%s\n", section.heading.c_str());
      for (const std::string& row : section.rows) std::printf("  %s\n", row.c_str());
    }
    if (evidence->note) std::printf("\n%s\n", evidence->note->c_str());
  }
  if (declineOwner) std::printf("\nSomething else manages Python: %s\n", declineOwner->c_str());
  if (!workflow) return;
  for (const WorkflowStep& step : workflow->steps) {
    const SetupStage& stage = *step.stage;
    const SetupDiagnosis& diagnosis = stage.diagnosis();
    std::printf("\n[%s] %s (%s)\n", std::string(toString(step.placement)).c_str(), stage.domainID().c_str(),
                std::string(toString(diagnosis.classification)).c_str());
    std::printf("  %s\n", diagnosis.headline.c_str());
    if (!diagnosis.detail.empty()) std::printf("  %s\n", diagnosis.detail.c_str());
    if (diagnosis.footer) std::printf("  (%s)\n", diagnosis.footer->c_str());
    for (const SetupAction& action : stage.actions()) {
      std::printf("  - %s [%s, %s]\n", action.displayLabel.c_str(), action.id.c_str(),
                  std::string(toString(action.verifyPolicy)).c_str());
      if (!action.caption.empty()) std::printf("    %s\n", action.caption.c_str());
    }
  }
}

}  // namespace

// Profiles this Mac and probes it (at the same time, with the live services),
// builds the Python workflow and prints the diagnosis summary, the evidence and
// every stage with its diagnosis and actions.
int diagnoseCommand(const Arguments& arguments) {
  const bool json = arguments == Arguments{"--json"};
  if (!json && !arguments.empty()) {
    std::fprintf(stderr, "usage: benchkit-doctor diagnose [--json]\n");
    return 2;
  }
  ProductConfig::setCurrent(pythonProduct());
  const ProductConfig config = ProductConfig::current();
  const AppServices& services = AppServices::live();

  const MachineSnapshot snapshot = takeMachineSnapshot(services, config.prober, [&] { return takeProfile(services); });
  const SetupProbeBundle& probes = snapshot.probes;
  const std::optional<SetupWorkflow> workflow =
      workflowFor(config, snapshot.profile.value_or(SystemProfile{}), probes, {});
  const std::vector<std::string> summary = spine_lookups::summaryLines(config, workflow);
  const SpineRenderPolicy& policy = *config.spinePolicy;
  const std::optional<DiagnosisEvidence> evidence =
      policy.diagnosisEvidence ? policy.diagnosisEvidence(probes) : std::nullopt;
  const std::optional<std::string> declineOwner =
      policy.postDiagnosisDecline ? policy.postDiagnosisDecline(probes) : std::nullopt;

  if (!json) {
    std::printf("%s\n\n", spine_lookups::summaryHeadline(config, workflow).c_str());
    printText(summary, evidence, declineOwner, workflow);
    return 0;
  }
  Json stages = Json::array();
  if (workflow) {
    for (const WorkflowStep& step : workflow->steps) stages.push_back(stageJson(step));
  }
  const Json output{{"summaryLines", summary},
                    {"evidence", evidenceJson(evidence)},
                    {"declineOwner", optionalText(declineOwner)},
                    {"stages", stages}};
  printJson(output);
  return 0;
}

}  // namespace bnch::doctor
