#include "engine/workflow/flow_step.h"

namespace bnch {

ReadinessScreenCopy ReadinessWarning::screenCopy() const {
  switch (kind) {
    case Kind::network:
      return ReadinessScreenCopy::networkCopy(network.verdict, network.estimatedInstallSeconds);
    case Kind::disk:
      return ReadinessScreenCopy::diskCopy(disk.verdict, disk.availableBytes, disk.worstCaseBytes);
    case Kind::outdatedMacOS:
      break;
  }
  return ReadinessScreenCopy::macOSCopy(major);
}

std::string describe(const Step& step) {
  switch (step.kind) {
    case Step::Kind::readinessWarning:
      switch (step.warning.kind) {
        case ReadinessWarning::Kind::network:
          return "readinessWarning:network";
        case ReadinessWarning::Kind::disk:
          return "readinessWarning:disk";
        case ReadinessWarning::Kind::outdatedMacOS:
          return "readinessWarning:outdatedMacOS";
      }
      return "readinessWarning";
    case Step::Kind::postDiagnosisDecline:
      return "postDiagnosisDecline:" + step.name;
    case Step::Kind::stage:
      return "stage:" + step.name;
    case Step::Kind::loading:
      return "loading";
    case Step::Kind::experienceQuestion:
      return "experienceQuestion";
    case Step::Kind::diagnosisSummary:
      return "diagnosisSummary";
    case Step::Kind::interstitial:
      return "interstitial";
    case Step::Kind::verifying:
      return "verifying";
    case Step::Kind::keepGoingGate:
      return "keepGoingGate";
    case Step::Kind::outcome:
      return "outcome";
    case Step::Kind::satisfaction:
      return "satisfaction";
  }
  return "loading";
}

}  // namespace bnch
