#include "engine/probes/python_ownership.h"

#include <string_view>
#include <utility>

#include "engine/contracts/uv_contract.h"
#include "engine/contracts/version_text.h"

namespace bnch {
namespace {

using Origin = PythonInstall::Origin;

// The first path component below `folder + "/"` in `path`, or nothing.
std::optional<std::string> componentBelow(const std::string& path, const std::string& folder) {
  const std::string prefix = folder + "/";
  if (!path.starts_with(prefix)) return std::nullopt;
  const std::size_t end = path.find('/', prefix.size());
  if (end == std::string::npos) return std::nullopt;  // the folder's own file, not one below a version folder
  return path.substr(prefix.size(), end - prefix.size());
}

std::optional<std::string> versionLike(std::string text) {
  if (!VersionText::isVersionLike(text)) return std::nullopt;
  return text;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::optional<PythonInstall> ownerByPath(const std::string& path, const PythonInventory& inventory) {
  for (const auto& install : inventory.installs) {
    if (install.path == path) return install;
  }
  // An interpreter beside an install's own (uv's bin/python3.13 beside bin/python3).
  for (const auto& install : inventory.installs) {
    if (install.origin.kind == Origin::Kind::homebrew || install.origin.kind == Origin::Kind::apple) continue;
    const std::string folder = folderOf(install.path);
    if (!folder.empty() && path.starts_with(folder + "/")) return install;
  }
  return PythonOwnership::owningInstall(path, inventory);
}

}  // namespace

std::optional<PythonInstall> PythonOwnership::owningInstall(const std::optional<std::string>& resolvedPath,
                                                            const PythonInventory& inventory) {
  if (!resolvedPath) return std::nullopt;
  for (const auto& install : inventory.installs) {
    if (install.path == *resolvedPath) return install;
  }
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
    // A Homebrew prefix owns only its own Python: another prefix's Homebrew says
    // nothing about who put a python3 here.
    std::optional<PythonInstall> first;
    for (const auto& install : inventory.installs) {
      if (install.origin != origin) continue;
      if (install.path.starts_with(folder + "/")) return install;
      if (!first && origin.kind != Origin::Kind::homebrew) first = install;
    }
    if (first) return first;
  }
  return std::nullopt;
}

std::optional<PythonInstall> PythonOwnership::owner(const PythonCommandResolution& resolution,
                                                    const PythonInventory& inventory) {
  if (!resolution.resolvedPath) return std::nullopt;
  std::optional<PythonInstall> install;
  if (resolution.resolvedTarget) install = ownerByPath(*resolution.resolvedTarget, inventory);
  if (!install) install = ownerByPath(*resolution.resolvedPath, inventory);
  if (!install) return std::nullopt;
  // A shim folder names only the manager; the install is the one of the version it runs.
  if (resolution.version && install->version != resolution.version) {
    for (const auto& other : inventory.installs) {
      if (other.origin == install->origin && other.version == resolution.version) {
        install = other;
        break;
      }
    }
  }
  const bool isThatInterpreter =
      install->origin.kind != Origin::Kind::homebrew &&
      (install->path == resolution.resolvedPath || install->path == resolution.resolvedTarget ||
       (resolution.resolvedTarget && folderOf(*resolution.resolvedTarget) == folderOf(install->path)));
  if (resolution.version || !isThatInterpreter) install->version = resolution.version;
  return install;
}

std::optional<std::string> PythonOwnership::versionFromPath(const std::string& path, const std::string& home) {
  if (const auto name = componentBelow(path, home + "/" + std::string(UvContract::managedPythonsRelativePath))) {
    if (const auto parsed = UvContract::parseManagedPythonName(*name)) return parsed->version;
    return std::nullopt;
  }
  for (const char* folder : {"/.pyenv/versions", "/.asdf/installs/python"}) {
    if (const auto name = componentBelow(path, home + folder)) return versionLike(*name);
  }
  if (const auto name = componentBelow(path, home + "/.rye/py")) {
    const std::size_t at = name->find('@');
    return at == std::string::npos ? std::nullopt : versionLike(name->substr(at + 1));
  }
  if (const auto name = componentBelow(path, "/Library/Frameworks/Python.framework/Versions")) {
    return versionLike(*name);
  }
  // <prefix>/Cellar/python@3.13/3.13.1_1/...
  const std::size_t cellar = path.find("/Cellar/");
  if (cellar != std::string::npos) {
    const std::string rest = path.substr(cellar + std::string_view("/Cellar/").size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string::npos || !rest.starts_with("python")) return std::nullopt;
    if (auto keg = componentBelow(rest, rest.substr(0, slash))) {
      const std::size_t revision = keg->find('_');
      return versionLike(revision == std::string::npos ? *keg : keg->substr(0, revision));
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
