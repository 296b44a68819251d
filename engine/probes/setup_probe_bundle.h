#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/probes/python_inventory.h"

namespace bnch {

// The answers a product's prober gathers once per diagnosis.
struct SetupProbeBundle {
  std::vector<std::string> pathVisiblePrimaryTools;
  std::vector<std::string> installedPrimaryToolLocations;
  std::optional<std::string> versionOutput;
  std::optional<int32_t> versionExitCode;
  bool companionToolPresent = false;
  bool shellConfigured = false;
  bool agentDocNeeded = false;
  bool projectExists = false;
  bool ghPresent = false;
  bool gitIdentitySet = false;
  bool ghAuthed = false;
  std::optional<PythonInventory> pythonInventory;
  std::optional<PythonPathVerdict> pythonPathVerdict;

  bool operator==(const SetupProbeBundle&) const = default;
};

}  // namespace bnch
