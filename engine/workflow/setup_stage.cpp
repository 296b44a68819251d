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

}  // namespace bnch
