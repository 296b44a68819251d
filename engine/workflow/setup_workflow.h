#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/workflow/setup_stage.h"

namespace bnch {

struct WorkflowStep {
  std::shared_ptr<const SetupStage> stage;
  DomainPlacement placement = DomainPlacement::primary;

  // Steps are equal when their stages have equal fields and the same placement.
  bool operator==(const WorkflowStep& other) const;
};

struct SetupWorkflow {
  std::vector<WorkflowStep> steps;  // in walking order

  std::vector<std::shared_ptr<const SetupStage>> stages(DomainPlacement placement) const;
  std::optional<DomainPlacement> placement(std::string_view domain) const;
  // The next stage to visit among the steps with `placement`, starting after
  // `after` (at the first step when absent; nothing when `after` is not among
  // them), skipping ready stages.
  std::optional<std::string> nextDomain(const std::optional<std::string>& after, DomainPlacement placement) const;

  bool operator==(const SetupWorkflow&) const = default;
};

}  // namespace bnch
