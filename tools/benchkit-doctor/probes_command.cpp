#include <cstdio>

#include "engine/platform/app_services.h"
#include "engine/probes/python_ownership.h"
#include "engine/probes/python_prober.h"
#include "tools/benchkit-doctor/commands.h"
#include "tools/benchkit-doctor/json_output.h"

namespace bnch::doctor {

SetupProbeBundle takeProbes(const AppServices& services) {
  return PythonProber().probe(ShellRunner(services.processRunner), *services.fs);
}

Json probesJson(const SetupProbeBundle& bundle) {
  Json json = toJson(bundle);
  // What the bundle implies about the python commands, for a reader of the output.
  if (bundle.pythonInventory) {
    const auto& inventory = *bundle.pythonInventory;
    const PythonPathVerdict verdict = bundle.pythonPathVerdict.value_or(PythonPathVerdict{});
    json["owningInstalls"] = Json{{"python", toJson(PythonOwnership::owner(verdict.python, inventory))},
                                  {"python3", toJson(PythonOwnership::owner(verdict.python3, inventory))}};
    json["competingOwners"] = PythonOwnership::competingOwners(inventory);
  }
  return json;
}

// Prints the Python product's probe bundle for this Mac.
int probesCommand(const Arguments& arguments) {
  if (arguments != Arguments{"--json"}) {
    std::fprintf(stderr, "usage: benchkit-doctor probes --json\n");
    return 2;
  }
  printJson(probesJson(takeProbes(AppServices::live())));
  return 0;
}

}  // namespace bnch::doctor
