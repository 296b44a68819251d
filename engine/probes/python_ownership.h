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
  // the Homebrew prefixes, the official framework, /usr/bin), preferring one below
  // the same folder; a Homebrew prefix takes only its own install. Absent path, or
  // no rule that finds an install: nothing.
  static std::optional<PythonInstall> owningInstall(const std::optional<std::string>& resolvedPath,
                                                    const PythonInventory& inventory);

  // The install that owns a command, judged first by where its link really leads
  // (an interpreter inside an install's folder belongs to that install), then by
  // the path itself. Its `version` is the version of the interpreter the command
  // runs: the resolution's, or the install's own when the command is exactly that
  // install's interpreter; otherwise absent, never another install's.
  static std::optional<PythonInstall> owner(const PythonCommandResolution& resolution,
                                            const PythonInventory& inventory);

  // The version an interpreter's real path names: a uv, pyenv, asdf or rye
  // version folder, a Homebrew Cellar keg (revision dropped) or a version of the
  // official framework. Nothing for any other path.
  static std::optional<std::string> versionFromPath(const std::string& path, const std::string& home);

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
