#include "engine/workflow/setup_stage.h"

namespace bnch {

std::string_view toString(SetupDiagnosisClassification classification) {
  switch (classification) {
    case SetupDiagnosisClassification::ready:
      return "ready";
    case SetupDiagnosisClassification::fixable:
      return "fixable";
    case SetupDiagnosisClassification::blocked:
      return "blocked";
    case SetupDiagnosisClassification::unknown:
      return "unknown";
  }
  return "unknown";
}

std::string_view toString(VerifyPolicy policy) {
  switch (policy) {
    case VerifyPolicy::localVerification:
      return "localVerification";
    case VerifyPolicy::installCompletion:
      return "installCompletion";
  }
  return "installCompletion";
}

std::string_view toString(DomainPlacement placement) {
  switch (placement) {
    case DomainPlacement::primary:
      return "primary";
    case DomainPlacement::offer:
      return "offer";
    case DomainPlacement::optional:
      return "optional";
  }
  return "primary";
}

bool WorkflowStep::operator==(const WorkflowStep& other) const {
  if (placement != other.placement) return false;
  if (stage == other.stage) return true;
  if (!stage || !other.stage) return false;
  return stage->domainID() == other.stage->domainID() && stage->diagnosis() == other.stage->diagnosis() &&
         stage->actions() == other.stage->actions();
}

}  // namespace bnch
