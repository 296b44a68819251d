#include "engine/probes/python_path_probe.h"

#include <future>

#include "engine/contracts/version_text.h"
#include "engine/platform/shell_quote.h"
#include "engine/platform/text.h"
#include "engine/probes/probe_files.h"
#include "engine/probes/python_ownership.h"

namespace bnch {
namespace {

// The command's path and, on the next line, where it leads with every link
// followed (zsh's :A modifier; a path it cannot resolve stays as it is).
std::string resolveCommand(const std::string& command) {
  return "p=$(/usr/bin/which " + command + ") || exit 1; p=${p%%$'\\n'*}; builtin print -r -- \"$p\"; " +
         "builtin print -r -- \"${p:A}\"";
}

// Apple's /usr/bin stubs may offer to install the developer tools when run; they
// are never asked.
bool mayAsk(const std::string& path) { return !path.starts_with("/usr/bin/") && !path.starts_with("/System/"); }

}  // namespace

std::optional<std::string> PythonPathProbe::askVersion(const std::string& interpreter) const {
  const auto answer = process_.askTerminal(shellSingleQuote(interpreter) +
                                           " -c 'import platform; print(platform.python_version())' 2>/dev/null");
  if (!answer || answer->exitCode != 0) return std::nullopt;
  const std::vector<std::string> lines = nonEmptyLines(answer->output);
  if (lines.size() != 1 || !VersionText::isVersionLike(trimmedText(lines.front()))) return std::nullopt;
  return trimmedText(lines.front());
}

PythonCommandResolution PythonPathProbe::resolve(const std::string& command) const {
  PythonCommandResolution resolution{command, std::nullopt};
  const auto which = process_.askTerminal(resolveCommand(command));
  if (!which || which->exitCode != 0) return resolution;
  const std::vector<std::string> lines = nonEmptyLines(which->output);
  if (lines.size() != 2) return resolution;
  const std::vector<std::string> paths = ProbeFiles::existingPathLines(fs_, lines[0]);
  if (paths.empty()) return resolution;
  resolution.resolvedPath = paths.front();
  const std::vector<std::string> targets = ProbeFiles::existingPathLines(fs_, lines[1]);
  if (targets.empty()) return resolution;
  resolution.resolvedTarget = targets.front();

  std::string home = fs_.homeDirectory().string();
  while (!home.empty() && home.back() == '/') home.pop_back();
  resolution.version = PythonOwnership::versionFromPath(*resolution.resolvedTarget, home);
  if (!resolution.version && mayAsk(*resolution.resolvedPath) && mayAsk(*resolution.resolvedTarget)) {
    resolution.version = askVersion(*resolution.resolvedPath);
  }
  return resolution;
}

PythonPathVerdict PythonPathProbe::probe() const {
  auto python = std::async(std::launch::async, [this] { return resolve("python"); });
  auto python3 = std::async(std::launch::async, [this] { return resolve("python3"); });
  return PythonPathVerdict{python.get(), python3.get()};
}

}  // namespace bnch
