#pragma once

#include <nlohmann/json.hpp>
#include <optional>

#include "engine/probes/python_inventory.h"
#include "engine/probes/readiness_result.h"
#include "engine/probes/readiness_screen_copy.h"
#include "engine/probes/setup_probe_bundle.h"
#include "engine/probes/system_profile.h"

namespace bnch::doctor {

// Engine values as JSON for the doctor's commands. Keys are the engine's field
// names, enum cases appear by name ("appleSilicon", "zsh", "other:tcsh"),
// versions as "15.1.0", absent values as null. Key order follows the fields.
using Json = nlohmann::ordered_json;

Json toJson(Architecture architecture);
Json toJson(const Shell& shell);
Json toJson(const OperatingSystemVersion& version);
Json toJson(const JDKInfo& jdk);
Json toJson(const ProbeBundle& javaState);
Json toJson(const AITooling& tooling);
Json toJson(const Terminals& terminals);
Json toJson(const MarkdownEditors& editors);
Json toJson(const SystemProfile& profile);

// "apple", "pythonOrg", "homebrew", "uv", or "competing:<owner>".
Json toJson(const PythonInstall::Origin& origin);
Json toJson(const PythonInstall& install);
Json toJson(const PythonInventory& inventory);
Json toJson(const PythonCommandResolution& resolution);
Json toJson(const PythonPathVerdict& verdict);
Json toJson(const SetupProbeBundle& bundle);

Json toJson(const NetworkReadinessResult& result);
Json toJson(const DiskReadinessResult& result);
Json toJson(const ReadinessScreenCopy& copy);

template <class T>
Json toJson(const std::optional<T>& value) {
  return value ? toJson(*value) : Json(nullptr);
}

}  // namespace bnch::doctor
