#include "engine/probes/python_ownership.h"

namespace bnch {

std::optional<PythonInstall> PythonOwnership::owningInstall(const std::optional<std::string>& resolvedPath,
                                                            const PythonInventory& inventory) {
  if (!resolvedPath) return std::nullopt;
  for (const auto& install : inventory.installs) {
    if (install.path == *resolvedPath) return install;
  }
  using Origin = PythonInstall::Origin;
  const std::string& home = inventory.homeDirectory;
  const std::vector<std::pair<std::string, Origin>> rules{
      {home + "/.local/share/uv", Origin::uv()},
      {home + "/.local/bin", Origin::uv()},
      {home + "/.pyenv", Origin::competing("pyenv")},
      {home + "/.asdf", Origin::competing("asdf")},
      {home + "/.rye", Origin::competing("rye")},
      {home + "/miniconda3", Origin::competing("conda")},
      {home + "/anaconda3", Origin::competing("conda")},
      {home + "/miniforge3", Origin::competing("conda")},
      {"/opt/homebrew", Origin::homebrew()},
      {"/usr/local", Origin::homebrew()},
      {"/Library/Frameworks/Python.framework", Origin::pythonOrg()},
      {"/usr/bin", Origin::apple()},
  };
  for (const auto& [folder, origin] : rules) {
    if (!resolvedPath->starts_with(folder + "/")) continue;
    for (const auto& install : inventory.installs) {
      if (install.origin == origin) return install;
    }
  }
  return std::nullopt;
}

std::vector<std::string> PythonOwnership::competingOwners(const PythonInventory& inventory) {
  std::vector<std::string> owners;
  for (const auto& install : inventory.installs) {
    if (install.origin.kind == PythonInstall::Origin::Kind::competing) owners.push_back(install.origin.owner);
  }
  return owners;
}

}  // namespace bnch
