#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bnch {

enum class SetupDiagnosisClassification { ready, fixable, blocked, unknown };
std::string_view toString(SetupDiagnosisClassification classification);

enum class VerifyPolicy { localVerification, installCompletion };
std::string_view toString(VerifyPolicy policy);

enum class DomainPlacement { primary, offer, optional };
std::string_view toString(DomainPlacement placement);

struct SetupDiagnosis {
  std::string headline;
  std::string detail;
  SetupDiagnosisClassification classification = SetupDiagnosisClassification::unknown;
  std::optional<std::string> footer;

  bool operator==(const SetupDiagnosis&) const = default;
};

struct SetupAction {
  std::string id;  // the remediation identifier
  std::string displayLabel;
  std::string caption;
  VerifyPolicy verifyPolicy = VerifyPolicy::installCompletion;

  bool operator==(const SetupAction&) const = default;
};

// One stage of a setup run, named by its domain identifier ("clt", "python", ...).
class SetupStage {
 public:
  virtual ~SetupStage() = default;
  virtual const std::string& domainID() const = 0;
  virtual const SetupDiagnosis& diagnosis() const = 0;
  virtual const std::vector<SetupAction>& actions() const = 0;
};

class BasicSetupStage final : public SetupStage {
 public:
  BasicSetupStage(std::string domainID, SetupDiagnosis diagnosis, std::vector<SetupAction> actions)
      : domainID_(std::move(domainID)), diagnosis_(std::move(diagnosis)), actions_(std::move(actions)) {}
  const std::string& domainID() const override { return domainID_; }
  const SetupDiagnosis& diagnosis() const override { return diagnosis_; }
  const std::vector<SetupAction>& actions() const override { return actions_; }

 private:
  std::string domainID_;
  SetupDiagnosis diagnosis_;
  std::vector<SetupAction> actions_;
};

}  // namespace bnch
