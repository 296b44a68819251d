#include "engine/product/python_spine_provider.h"

#include "engine/workflow/domain.h"
#include "engine/workflow/product_config.h"
#include "engine/workflow/shared_stage_catalog.h"
#include "engine/workflow/uv_ownership.h"

namespace bnch {

namespace {

using Class = SetupDiagnosisClassification;
using Kind = SetupRemediation::Kind;

SetupDiagnosis warpDiagnosis(const SystemProfile& profile, const SharedDomainCopy& copy) {
  if (profile.terminals.warp || profile.aiTooling.warpApp) {
    return {copy.warpReady.headline, copy.warpReady.detail, Class::ready, std::nullopt};
  }
  return {copy.warpFixable.headline, copy.warpFixable.detail, Class::fixable, std::nullopt};
}

SetupDiagnosis pythonDiagnosis(const SetupProbeBundle& probes) {
  if (uvOwnsPython(probes)) {
    return {"Python is set up with uv", "uv manages Python on this Mac, and the python command already resolves to it.",
            Class::ready, std::nullopt};
  }
  return {"Install Python with uv",
          "This app will add one line to your shell configuration so the python command works in a new terminal "
          "window.",
          Class::fixable, std::nullopt};
}

SetupDiagnosis pythonProjectDiagnosis() {
  return {"Install a Python example project?",
          "This app will add a small example project to your Documents folder so you can see how to start. An AI "
          "agent can show you what to do.",
          Class::fixable, std::nullopt};
}

bool fixable(const SetupDiagnosis& diagnosis) { return diagnosis.classification == Class::fixable; }

}  // namespace

const std::vector<std::pair<std::string, DomainPlacement>>& PythonSpineProvider::domains() {
  static const std::vector<std::pair<std::string, DomainPlacement>> table{
      {Domain::clt, DomainPlacement::primary},        {Domain::shellConfig, DomainPlacement::primary},
      {Domain::homebrew, DomainPlacement::primary},   {Domain::warp, DomainPlacement::primary},
      {Domain::python, DomainPlacement::primary},     {Domain::pythonProject, DomainPlacement::offer},
      {Domain::aiClaude, DomainPlacement::optional},  {Domain::codex, DomainPlacement::optional},
      {Domain::project, DomainPlacement::optional},   {Domain::skills, DomainPlacement::optional},
      {Domain::mcp, DomainPlacement::optional},       {Domain::editor, DomainPlacement::optional},
      {Domain::notes, DomainPlacement::optional},     {Domain::languages, DomainPlacement::optional},
      {Domain::agentDocs, DomainPlacement::optional}, {Domain::git, DomainPlacement::optional},
  };
  return table;
}

SetupDiagnosis PythonSpineProvider::diagnosis(const std::string& domain, const SystemProfile& profile,
                                              const SetupProbeBundle& probes) const {
  const SharedDomainCopy& copy = SharedDomainCopy::standard();
  if (domain == Domain::clt) return SharedStageCatalog::cltDiagnosis(profile, copy);
  if (domain == Domain::homebrew) {
    return SharedStageCatalog::homebrewDiagnosis(copy, SharedStageCatalog::homebrewState(profile, probes));
  }
  if (domain == Domain::warp) return warpDiagnosis(profile, copy);
  if (domain == Domain::python) return pythonDiagnosis(probes);
  if (domain == Domain::pythonProject) return pythonProjectDiagnosis();
  return SharedStageCatalog::diagnosis(domain, profile, probes).value_or(SharedStageCatalog::unknownDiagnosis(domain));
}

std::vector<SetupRemediation> PythonSpineProvider::remediations(const std::string& domain, const SystemProfile& profile,
                                                                const SetupProbeBundle& probes) const {
  if (domain == Domain::clt) {
    if (fixable(diagnosis(domain, profile, probes))) return {SetupRemediation::of(Kind::installCommandLineTools)};
    return {};
  }
  if (domain == Domain::homebrew) {
    switch (SharedStageCatalog::homebrewState(profile, probes)) {
      case HomebrewState::notOnPath:
        return {SetupRemediation::of(Kind::repairHomebrewPath)};
      case HomebrewState::wrongChip:
      case HomebrewState::absent:
        return {SetupRemediation::of(Kind::installHomebrew)};
      case HomebrewState::ready:
      case HomebrewState::twoPlaces:
        return {};
    }
    return {};
  }
  if (domain == Domain::warp) {
    if (fixable(diagnosis(domain, profile, probes))) return {SetupRemediation::of(Kind::installWarp)};
    return {};
  }
  if (domain == Domain::python) {
    if (fixable(diagnosis(domain, profile, probes))) return {SetupRemediation::installUv(false)};
    return {};
  }
  if (domain == Domain::pythonProject) return {SetupRemediation::createProject(ProjectTemplate::python, std::nullopt)};
  return SharedStageCatalog::remediations(domain, profile, probes);
}

std::optional<SetupWorkflow> PythonSpineProvider::workflow(const std::optional<std::string>& goal,
                                                           const SystemProfile& profile, const SetupProbeBundle& probes,
                                                           const ExperienceContext& /*experience*/) const {
  if (goal) return std::nullopt;
  SetupWorkflow result;
  result.steps.reserve(domains().size());
  for (const auto& [domain, placement] : domains()) {
    auto stage = std::make_shared<BasicSetupStage>(domain, diagnosis(domain, profile, probes),
                                                   SharedStageCatalog::actions(remediations(domain, profile, probes)));
    result.steps.push_back(WorkflowStep{std::move(stage), placement});
  }
  return result;
}

}  // namespace bnch
