#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/probes/setup_probe_bundle.h"
#include "engine/probes/system_profile.h"
#include "engine/remediation/setup_remediation.h"
#include "engine/workflow/setup_workflow.h"

namespace bnch {

// What the flow model knows of the person's experience when it builds a workflow.
struct ExperienceContext {
  std::set<std::string> selections;  // always empty for this product
  int tier = 2;                      // 0, 1 or 2
  std::optional<std::string> bucket;
  bool skipped = false;

  bool operator==(const ExperienceContext&) const = default;
};

// Builds a product's workflow and answers which remediations stand behind a stage.
// Implementations hold no state and may be called from any thread.
class SpineProvider {
 public:
  virtual ~SpineProvider() = default;
  virtual std::optional<SetupWorkflow> workflow(const std::optional<std::string>& goal, const SystemProfile& profile,
                                                const SetupProbeBundle& probes,
                                                const ExperienceContext& experience) const = 0;
  virtual std::vector<SetupRemediation> remediations(const std::string& domain, const SystemProfile& profile,
                                                     const SetupProbeBundle& probes) const = 0;
};

// The shared stage catalogue's slot in the product configuration; the spine calls
// the catalogue's operations directly, nothing calls this interface.
class StageCatalogProviding {
 public:
  virtual ~StageCatalogProviding() = default;
};

}  // namespace bnch
