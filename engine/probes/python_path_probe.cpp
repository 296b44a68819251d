#include "engine/probes/python_path_probe.h"

#include <future>

#include "engine/probes/probe_files.h"
#include "engine/probes/probe_text.h"

namespace bnch {

PythonCommandResolution PythonPathProbe::resolve(const std::string& command) const {
  PythonCommandResolution resolution{command, std::nullopt};
  const ShellOutput which = process_.markedLoginShell("/usr/bin/which " + command);
  if (which.exitCode != 0) return resolution;
  for (const auto& line : ProbeText::nonEmptyLines(which.output)) {
    std::string path = ProbeText::trimSpacesAndTabs(line);
    if (path.starts_with("/") && ProbeText::isFaithful(path) && ProbeFiles::isFile(fs_, path)) {
      resolution.resolvedPath = std::move(path);
      break;
    }
  }
  return resolution;
}

PythonPathVerdict PythonPathProbe::probe() const {
  auto python = std::async(std::launch::async, [this] { return resolve("python"); });
  auto python3 = std::async(std::launch::async, [this] { return resolve("python3"); });
  return PythonPathVerdict{python.get(), python3.get()};
}

}  // namespace bnch
