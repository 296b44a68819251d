#include "engine/probes/python_inventory_scanner.h"

#include <algorithm>

#include "engine/contracts/uv_contract.h"
#include "engine/contracts/version_text.h"
#include "engine/probes/probe_files.h"

namespace bnch {
namespace {

std::vector<std::string> versionLikeNames(const FileSystemOperating& fs, const std::string& folder) {
  std::vector<std::string> names;
  for (auto& name : ProbeFiles::visibleNames(fs, folder)) {
    if (VersionText::isVersionLike(name)) names.push_back(std::move(name));
  }
  return names;
}

// The Homebrew prefix's Python version: the highest python@X.Y folder in the
// Cellar, and in it the highest version folder.
std::optional<std::string> homebrewVersion(const FileSystemOperating& fs, const std::string& prefix) {
  const std::string cellar = prefix + "/Cellar";
  constexpr std::string_view formulaPrefix = "python@";
  std::optional<std::string> newest;
  for (const auto& name : ProbeFiles::visibleNames(fs, cellar)) {
    if (!name.starts_with(formulaPrefix)) continue;
    const std::string_view version = std::string_view(name).substr(formulaPrefix.size());
    if (!newest || !VersionText::less(version, std::string_view(*newest).substr(formulaPrefix.size()))) newest = name;
  }
  if (!newest) return std::nullopt;
  return VersionText::highest(versionLikeNames(fs, cellar + "/" + *newest));
}

bool holdsHomebrew(const FileSystemOperating& fs, const std::string& prefix) {
  return ProbeFiles::isFile(fs, prefix + "/bin/brew") || ProbeFiles::isFolder(fs, prefix + "/Cellar");
}

void addVersionFolders(const FileSystemOperating& fs, const std::string& folder, const std::string& owner,
                       const std::string& interpreter, std::vector<PythonInstall>& installs) {
  for (const auto& name : versionLikeNames(fs, folder)) {
    installs.push_back(
        PythonInstall{PythonInstall::Origin::competing(owner), folder + "/" + name + "/" + interpreter, name});
  }
}

int originRank(const PythonInstall::Origin& origin) { return static_cast<int>(origin.kind); }

}  // namespace

void PythonInventoryScanner::sortInstalls(std::vector<PythonInstall>& installs) {
  std::stable_sort(installs.begin(), installs.end(), [](const PythonInstall& a, const PythonInstall& b) {
    if (originRank(a.origin) != originRank(b.origin)) return originRank(a.origin) < originRank(b.origin);
    return a.path < b.path;
  });
}

PythonInventory PythonInventoryScanner::scan() const {
  PythonInventory inventory;
  // Without trailing slashes, so that "HOME=/Users/alice/" builds the same paths
  // and ownership folders as "/Users/alice".
  std::string home = fs_.homeDirectory().string();
  while (!home.empty() && home.back() == '/') home.pop_back();
  inventory.homeDirectory = home;
  auto& installs = inventory.installs;

  // Apple's python3 and the version of the Command Line Tools' framework.
  if (ProbeFiles::exists(fs_, "/usr/bin/python3")) {
    installs.push_back(
        PythonInstall{PythonInstall::Origin::apple(), "/usr/bin/python3",
                      VersionText::highest(versionLikeNames(
                          fs_, "/Library/Developer/CommandLineTools/Library/Frameworks/Python3.framework/Versions"))});
  }

  // The official installer: one framework version per folder.
  const std::string framework = "/Library/Frameworks/Python.framework/Versions";
  for (const auto& name : versionLikeNames(fs_, framework)) {
    installs.push_back(
        PythonInstall{PythonInstall::Origin::pythonOrg(), framework + "/" + name + "/bin/python3", name});
  }

  // Homebrew, Apple silicon prefix first; a prefix counts only when it really
  // holds Homebrew (/usr/local/bin/python3 is often the official installer's link).
  for (const std::string prefix : {"/opt/homebrew", "/usr/local"}) {
    const std::string interpreter = prefix + "/bin/python3";
    if (!ProbeFiles::exists(fs_, interpreter) || !holdsHomebrew(fs_, prefix)) continue;
    installs.push_back(PythonInstall{PythonInstall::Origin::homebrew(), interpreter, homebrewVersion(fs_, prefix)});
  }

  // uv-managed Pythons; a short version is dropped when a longer one extends it.
  const std::string uvFolder = home + "/" + std::string(UvContract::managedPythonsRelativePath);
  std::vector<PythonInstall> uvInstalls;
  for (const auto& name : ProbeFiles::visibleNames(fs_, uvFolder)) {
    const auto parsed = UvContract::parseManagedPythonName(name);
    if (!parsed) continue;
    uvInstalls.push_back(PythonInstall{PythonInstall::Origin::uv(),
                                       uvFolder + "/" + name + "/" + std::string(UvContract::interpreterRelativePath),
                                       parsed->version});
  }
  for (const auto& install : uvInstalls) {
    const std::string extended = *install.version + ".";
    const bool superseded = std::any_of(uvInstalls.begin(), uvInstalls.end(), [&](const PythonInstall& other) {
      return other.version->starts_with(extended);
    });
    if (!superseded) installs.push_back(install);
  }

  addVersionFolders(fs_, home + "/.pyenv/versions", "pyenv", "bin/python", installs);
  addVersionFolders(fs_, home + "/.asdf/installs/python", "asdf", "bin/python", installs);

  // rye: "<implementation>@<version>" folders.
  const std::string ryeFolder = home + "/.rye/py";
  for (const auto& name : ProbeFiles::visibleNames(fs_, ryeFolder)) {
    const std::size_t at = name.find('@');
    if (at == std::string::npos) continue;
    const std::string version = name.substr(at + 1);
    if (!VersionText::isVersionLike(version)) continue;
    installs.push_back(
        PythonInstall{PythonInstall::Origin::competing("rye"), ryeFolder + "/" + name + "/bin/python3", version});
  }

  // conda: one install per base folder, versioned by its lib/python3.* folders.
  for (const std::string base : {"miniconda3", "anaconda3", "miniforge3"}) {
    const std::string baseFolder = home + "/" + base;
    if (!ProbeFiles::exists(fs_, baseFolder)) continue;
    std::vector<std::string> versions;
    for (const auto& name : ProbeFiles::visibleNames(fs_, baseFolder + "/lib")) {
      if (!name.starts_with("python3")) continue;
      std::string version = name.substr(std::string_view("python").size());
      if (VersionText::isVersionLike(version)) versions.push_back(std::move(version));
    }
    installs.push_back(PythonInstall{PythonInstall::Origin::competing("conda"), baseFolder + "/bin/python3",
                                     VersionText::highest(versions)});
  }

  sortInstalls(installs);
  return inventory;
}

}  // namespace bnch
