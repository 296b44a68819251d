#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/probes/python_inventory.h"

namespace bnch {

// Which install answers a command, and who else manages Python. Pure functions.
struct PythonOwnership {
  // The install that owns a resolved command path: an install with exactly that
  // path, or else the first install (in inventory order) of the kind the first
  // matching folder rule names (uv's folders, pyenv, asdf, rye, the conda bases,
  // the Homebrew prefixes, the official framework, /usr/bin). Absent path, or no
  // rule that finds an install: nothing.
  static std::optional<PythonInstall> owningInstall(const std::optional<std::string>& resolvedPath,
                                                    const PythonInventory& inventory);

  // The owner names of all competing installs, in inventory order (duplicates kept).
  static std::vector<std::string> competingOwners(const PythonInventory& inventory);

  static bool isUv(const PythonInstall& install) { return install.origin.kind == PythonInstall::Origin::Kind::uv; }
  static bool isHomebrew(const PythonInstall& install) {
    return install.origin.kind == PythonInstall::Origin::Kind::homebrew;
  }
  static bool isPythonOrg(const PythonInstall& install) {
    return install.origin.kind == PythonInstall::Origin::Kind::pythonOrg;
  }
  static bool isApple(const PythonInstall& install) {
    return install.origin.kind == PythonInstall::Origin::Kind::apple;
  }
  static bool isCompeting(const PythonInstall& install, const std::string& owner) {
    return install.origin.isCompeting(owner);
  }
};

}  // namespace bnch
