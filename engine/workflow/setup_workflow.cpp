#include "engine/workflow/setup_workflow.h"

namespace bnch {

bool WorkflowStep::operator==(const WorkflowStep& other) const {
  if (placement != other.placement) return false;
  if (stage == other.stage) return true;
  if (!stage || !other.stage) return false;
  return stage->domainID() == other.stage->domainID() && stage->diagnosis() == other.stage->diagnosis() &&
         stage->actions() == other.stage->actions();
}

std::vector<std::shared_ptr<const SetupStage>> SetupWorkflow::stages(DomainPlacement placement) const {
  std::vector<std::shared_ptr<const SetupStage>> result;
  for (const WorkflowStep& step : steps) {
    if (step.placement == placement && step.stage) result.push_back(step.stage);
  }
  return result;
}

std::optional<DomainPlacement> SetupWorkflow::placement(std::string_view domain) const {
  for (const WorkflowStep& step : steps) {
    if (step.stage && step.stage->domainID() == domain) return step.placement;
  }
  return std::nullopt;
}

std::optional<std::string> SetupWorkflow::nextDomain(const std::optional<std::string>& after,
                                                     DomainPlacement placement) const {
  const auto candidates = stages(placement);
  std::size_t start = 0;
  if (after) {
    std::size_t index = 0;
    while (index < candidates.size() && candidates[index]->domainID() != *after) ++index;
    if (index == candidates.size()) return std::nullopt;
    start = index + 1;
  }
  for (std::size_t index = start; index < candidates.size(); ++index) {
    if (candidates[index]->diagnosis().classification != SetupDiagnosisClassification::ready) {
      return candidates[index]->domainID();
    }
  }
  return std::nullopt;
}

}  // namespace bnch
