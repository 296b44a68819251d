#include "engine/workflow/uv_ownership.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace bnch {

namespace {

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool isUv(const PythonInstall& install) { return install.origin.kind == PythonInstall::Origin::Kind::uv; }

// Owned by a uv install: where the command leads (or its path) is that install's
// interpreter, or lies inside the folder holding it (a sibling such as bin/python3.12).
bool ownedByUvInstall(const PythonCommandResolution& resolution, const PythonInventory& inventory) {
  for (const std::optional<std::string>& place : {resolution.resolvedTarget, resolution.resolvedPath}) {
    if (!place) continue;
    for (const PythonInstall& install : inventory.installs) {
      if (!isUv(install)) continue;
      if (install.path == *place) return true;
      const auto slash = install.path.rfind('/');
      if (slash == std::string::npos || slash == 0) continue;
      if (place->starts_with(std::string_view(install.path).substr(0, slash + 1))) return true;
    }
  }
  return false;
}

bool looksLikeUvPath(const std::string& path) {
  return path.find("/.local/share/uv/") != std::string::npos || endsWith(path, "/.local/bin/python") ||
         endsWith(path, "/.local/bin/python3");
}

}  // namespace

bool uvOwnsPython(const SetupProbeBundle& probes) {
  const PythonInventory inventory = probes.pythonInventory.value_or(PythonInventory{});
  const PythonPathVerdict verdict = probes.pythonPathVerdict.value_or(PythonPathVerdict{});

  if (std::none_of(inventory.installs.begin(), inventory.installs.end(), isUv)) return false;

  if (ownedByUvInstall(verdict.python, inventory) || ownedByUvInstall(verdict.python3, inventory)) {
    return true;
  }
  const std::optional<std::string>& first =
      verdict.python.resolvedPath ? verdict.python.resolvedPath : verdict.python3.resolvedPath;
  return first && looksLikeUvPath(*first);
}

}  // namespace bnch
