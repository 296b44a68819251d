#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/workflow/spine_provider.h"

namespace bnch {

// The Python product's spine: its sixteen-stage workflow and the remediations
// behind each stage. Stateless; safe from any thread.
class PythonSpineProvider final : public SpineProvider {
 public:
  // Absent when a goal is given (the product asks none); otherwise the sixteen
  // stages in their fixed order, diagnosed from the profile and probes.
  std::optional<SetupWorkflow> workflow(const std::optional<std::string>& goal, const SystemProfile& profile,
                                        const SetupProbeBundle& probes,
                                        const ExperienceContext& experience) const override;
  std::vector<SetupRemediation> remediations(const std::string& domain, const SystemProfile& profile,
                                             const SetupProbeBundle& probes) const override;

  // The diagnosis of one domain; the unknown diagnosis for a domain nobody knows.
  SetupDiagnosis diagnosis(const std::string& domain, const SystemProfile& profile,
                           const SetupProbeBundle& probes) const;

  // The domains of the workflow with their placements, in walking order.
  static const std::vector<std::pair<std::string, DomainPlacement>>& domains();
};

}  // namespace bnch
