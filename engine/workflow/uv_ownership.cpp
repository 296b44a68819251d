#include "engine/workflow/uv_ownership.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace bnch {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool isUv(const PythonInstall& install) { return install.origin.kind == PythonInstall::Origin::Kind::uv; }

// Owned by a uv install: its exact interpreter path, or a path inside the folder
// holding that interpreter (a sibling such as bin/python3.12).
bool ownedByUvInstall(const std::optional<std::string>& resolved, const PythonInventory& inventory) {
  if (!resolved) return false;
  for (const PythonInstall& install : inventory.installs) {
    if (!isUv(install)) continue;
    if (install.path == *resolved) return true;
    const auto slash = install.path.rfind('/');
    if (slash == std::string::npos || slash == 0) continue;
    if (startsWith(*resolved, std::string_view(install.path).substr(0, slash + 1))) return true;
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

  if (ownedByUvInstall(verdict.python.resolvedPath, inventory) ||
      ownedByUvInstall(verdict.python3.resolvedPath, inventory)) {
    return true;
  }
  const std::optional<std::string>& first =
      verdict.python.resolvedPath ? verdict.python.resolvedPath : verdict.python3.resolvedPath;
  return first && looksLikeUvPath(*first);
}

}  // namespace bnch
