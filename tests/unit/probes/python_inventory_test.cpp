// Given a Mac's folders, the inventory lists each Python with its origin and
// version, and the ownership rules name who answers a resolved command.
#include <gtest/gtest.h>

#include <memory>

#include "engine/probes/competing_owner_copy.h"
#include "engine/probes/python_inventory_scanner.h"
#include "engine/probes/python_ownership.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::RootedFileSystem;
using testing::TempDir;
using Origin = PythonInstall::Origin;

class PythonInventoryTest : public ::testing::Test {
 protected:
  TempDir dir_;
  RootedFileSystem fs_{dir_.path()};
  const std::string home_ = "/Users/alice";
};

TEST_F(PythonInventoryTest, ListsEveryOriginSortedWithVersionsFromFolderNames) {
  fs_.makeExecutable("/usr/bin/python3");
  for (const char* v : {"3.9", "Current", "3.13"}) {
    fs_.makeDirectory(
        std::string("/Library/Developer/CommandLineTools/Library/Frameworks/Python3.framework/Versions/") + v);
  }
  fs_.makeDirectory("/Library/Frameworks/Python.framework/Versions/3.12");
  fs_.makeDirectory("/Library/Frameworks/Python.framework/Versions/3.11");
  fs_.makeDirectory("/Library/Frameworks/Python.framework/Versions/Current");
  fs_.makeExecutable("/opt/homebrew/bin/python3");
  fs_.makeDirectory("/opt/homebrew/Cellar/python@3.9/3.9.6");
  fs_.makeDirectory("/opt/homebrew/Cellar/python@3.13/3.13.0");
  fs_.makeDirectory("/opt/homebrew/Cellar/python@3.13/3.13.1");
  fs_.makeDirectory("/usr/local/Cellar/python@3.12/3.12.1");  // no /usr/local/bin/python3: not listed
  const std::string uv = home_ + "/.local/share/uv/python/";
  fs_.makeDirectory(uv + "cpython-3.12.4-macos-aarch64-none");
  fs_.makeDirectory(uv + "cpython-3.12-macos-aarch64-none");
  fs_.makeDirectory(uv + "cpython-3.13.0+freethreaded-macos-aarch64-none");
  fs_.makeDirectory(uv + ".lock");
  fs_.makeDirectory(home_ + "/.pyenv/versions/3.11.9");
  fs_.makeDirectory(home_ + "/.pyenv/versions/miniconda3-latest");
  fs_.makeDirectory(home_ + "/.asdf/installs/python/3.10.4");
  fs_.makeDirectory(home_ + "/.rye/py/cpython@3.12.3");
  fs_.makeDirectory(home_ + "/.rye/py/pypy@latest");
  fs_.makeDirectory(home_ + "/miniconda3/lib/python3.9");
  fs_.makeDirectory(home_ + "/miniconda3/lib/python3.11");
  fs_.makeDirectory(home_ + "/miniforge3/lib/site-packages");

  const PythonInventory inventory = PythonInventoryScanner(fs_).scan();

  EXPECT_EQ(inventory.homeDirectory, home_);
  const std::vector<PythonInstall> expected{
      {Origin::apple(), "/usr/bin/python3", "3.13"},
      {Origin::pythonOrg(), "/Library/Frameworks/Python.framework/Versions/3.11/bin/python3", "3.11"},
      {Origin::pythonOrg(), "/Library/Frameworks/Python.framework/Versions/3.12/bin/python3", "3.12"},
      // Highest python@ formula and highest version in it, not the last in text order (3.9.6).
      {Origin::homebrew(), "/opt/homebrew/bin/python3", "3.13.1"},
      {Origin::uv(), uv + "cpython-3.12.4-macos-aarch64-none/bin/python3", "3.12.4"},
      {Origin::competing("asdf"), home_ + "/.asdf/installs/python/3.10.4/bin/python", "3.10.4"},
      {Origin::competing("pyenv"), home_ + "/.pyenv/versions/3.11.9/bin/python", "3.11.9"},
      {Origin::competing("rye"), home_ + "/.rye/py/cpython@3.12.3/bin/python3", "3.12.3"},
      {Origin::competing("conda"), home_ + "/miniconda3/bin/python3", "3.11"},
      {Origin::competing("conda"), home_ + "/miniforge3/bin/python3", std::nullopt},
  };
  EXPECT_EQ(inventory.installs, expected);
  EXPECT_EQ(PythonOwnership::competingOwners(inventory),
            (std::vector<std::string>{"asdf", "pyenv", "rye", "conda", "conda"}));
}

TEST_F(PythonInventoryTest, EmptyMacAndUnreadableFoldersGiveNoInstalls) {
  EXPECT_TRUE(PythonInventoryScanner(fs_).scan().installs.empty());

  fs_.makeDirectory(home_ + "/.pyenv/versions/3.11.9");
  fs_.makeExecutable("/opt/homebrew/bin/python3");
  fs_.makeDirectory("/opt/homebrew/Cellar/python@3.12/3.12.2");
  auto inner = std::make_shared<RootedFileSystem>(dir_.path());
  testing::FaultInjectingFileSystem failing(inner);
  failing.setCountReads(true);
  failing.failFromOperation(1, EACCES);
  const auto installs = PythonInventoryScanner(failing).scan().installs;
  // Listing fails everywhere: only the existence-checked Homebrew python remains, without a version.
  EXPECT_EQ(installs, (std::vector<PythonInstall>{{Origin::homebrew(), "/opt/homebrew/bin/python3", std::nullopt}}));
}

TEST_F(PythonInventoryTest, AHomeWithATrailingSlashGivesTheSamePathsAndOwners) {
  RootedFileSystem slashed(dir_.path(), {.home = "/Users/alice/"});
  const std::string uv = home_ + "/.local/share/uv/python/cpython-3.13.1-macos-aarch64-none";
  fs_.makeDirectory(uv);
  const PythonInventory inventory = PythonInventoryScanner(slashed).scan();
  EXPECT_EQ(inventory, PythonInventoryScanner(fs_).scan());
  EXPECT_EQ(inventory.installs, (std::vector<PythonInstall>{{Origin::uv(), uv + "/bin/python3", "3.13.1"}}));
  EXPECT_EQ(PythonOwnership::owningInstall(home_ + "/.local/bin/python3", inventory), inventory.installs[0]);
}

PythonInventory sampleInventory() {
  const std::string home = "/Users/alice";
  return PythonInventory{
      {
          {Origin::apple(), "/usr/bin/python3", "3.9"},
          {Origin::pythonOrg(), "/Library/Frameworks/Python.framework/Versions/3.12/bin/python3", "3.12"},
          {Origin::homebrew(), "/opt/homebrew/bin/python3", "3.13.1"},
          {Origin::uv(), home + "/.local/share/uv/python/cpython-3.12.4-macos-aarch64-none/bin/python3", "3.12.4"},
          {Origin::uv(), home + "/.local/share/uv/python/cpython-3.13.1-macos-aarch64-none/bin/python3", "3.13.1"},
          {Origin::competing("pyenv"), home + "/.pyenv/versions/3.10.1/bin/python", "3.10.1"},
          {Origin::competing("pyenv"), home + "/.pyenv/versions/3.11.9/bin/python", "3.11.9"},
          {Origin::competing("conda"), home + "/anaconda3/bin/python3", "3.11"},
      },
      home,
  };
}

TEST(PythonOwnership, ExactPathThenFolderRulesInOrder) {
  const PythonInventory inventory = sampleInventory();
  auto owner = [&](const std::string& path) { return PythonOwnership::owningInstall(path, inventory); };
  EXPECT_EQ(PythonOwnership::owningInstall(std::nullopt, inventory), std::nullopt);
  EXPECT_EQ(owner(inventory.installs[4].path), inventory.installs[4]);  // exact path beats the uv rule
  EXPECT_EQ(owner("/Users/alice/.local/bin/python3"), inventory.installs[3]);
  EXPECT_EQ(owner("/Users/alice/.pyenv/shims/python3"), inventory.installs[5]);  // first pyenv install
  EXPECT_EQ(owner("/Users/alice/anaconda3/envs/x/bin/python"), inventory.installs[7]);
  EXPECT_EQ(owner("/opt/homebrew/opt/python@3.13/bin/python3"), inventory.installs[2]);
  EXPECT_EQ(owner("/usr/local/bin/python3"), std::nullopt);  // no Homebrew Python in /usr/local
  EXPECT_EQ(owner("/Library/Frameworks/Python.framework/Versions/Current/bin/python3"), inventory.installs[1]);
  EXPECT_EQ(owner("/usr/bin/python"), inventory.installs[0]);
  EXPECT_EQ(owner("/Users/alice/.asdf/shims/python"), std::nullopt);  // rule applies, no asdf install
  EXPECT_EQ(owner("/Users/alice/.pyenvX/python3"), std::nullopt);     // a folder name prefix is not the folder
  EXPECT_EQ(owner("/usr/bin"), std::nullopt);
  EXPECT_EQ(owner("/bin/python3"), std::nullopt);
}

TEST(PythonOwnership, WhereTheLinkLeadsDecidesOwnerAndVersion) {
  const PythonInventory inventory = sampleInventory();
  const std::string uv = "/Users/alice/.local/share/uv/python/";
  struct Case {
    const char* what;
    std::string path;
    std::optional<std::string> target;
    std::optional<std::string> version;
    std::optional<PythonInstall> expected;
  };
  auto with = [](PythonInstall install, std::optional<std::string> version) {
    install.version = std::move(version);
    return install;
  };
  const auto& i = inventory.installs;
  const Case cases[] = {
      {"official installer's link in /usr/local/bin", "/usr/local/bin/python3",
       "/Library/Frameworks/Python.framework/Versions/3.12/bin/python3.12", "3.12", i[1]},
      {"the default of two uv Pythons", "/Users/alice/.local/bin/python3",
       uv + "cpython-3.13.1-macos-aarch64-none/bin/python3.13", "3.13.1", i[4]},
      {"a Homebrew keg other than the newest", "/opt/homebrew/bin/python3",
       "/opt/homebrew/Cellar/python@3.12/3.12.8/bin/python3.12", "3.12.8", with(i[2], "3.12.8")},
      {"a Homebrew link whose version is unknown", "/opt/homebrew/bin/python3",
       "/opt/homebrew/Cellar/python@3.12/3.12.8/bin/python3.12", std::nullopt, with(i[2], std::nullopt)},
      {"pyenv's shim, version asked", "/Users/alice/.pyenv/shims/python3", "/Users/alice/.pyenv/shims/python3",
       "3.11.9", i[6]},
      {"pyenv's shim, version unknown", "/Users/alice/.pyenv/shims/python3", std::nullopt, std::nullopt,
       with(i[5], std::nullopt)},
      {"Apple's own interpreter", "/usr/bin/python3", "/usr/bin/python3", std::nullopt, i[0]},
      {"a link to nowhere we know", "/Users/alice/bin/python3", "/Volumes/USB/python3", "3.8.1", std::nullopt},
  };
  for (const auto& c : cases) {
    PythonCommandResolution resolution{"python3", c.path, c.target, c.version};
    EXPECT_EQ(PythonOwnership::owner(resolution, inventory), c.expected) << c.what;
  }
  EXPECT_EQ(PythonOwnership::owner(PythonCommandResolution{"python3", std::nullopt}, inventory), std::nullopt);
}

TEST(PythonOwnership, VersionFromTheFolderAnInterpreterLiesIn) {
  const std::string home = "/Users/alice";
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {home + "/.local/share/uv/python/cpython-3.13.1-macos-aarch64-none/bin/python3.13", "3.13.1"},
      {home + "/.local/share/uv/python/cpython-3.13.0+freethreaded-macos-aarch64-none/bin/python3", std::nullopt},
      {home + "/.pyenv/versions/3.11.9/bin/python3.11", "3.11.9"},
      {home + "/.pyenv/shims/python3", std::nullopt},
      {home + "/.asdf/installs/python/3.10.4/bin/python", "3.10.4"},
      {home + "/.rye/py/cpython@3.12.3/bin/python3", "3.12.3"},
      {"/Library/Frameworks/Python.framework/Versions/3.12/bin/python3.12", "3.12"},
      {"/Library/Frameworks/Python.framework/Versions/Current/bin/python3", std::nullopt},
      {"/opt/homebrew/Cellar/python@3.13/3.13.1_1/Frameworks/Python.framework/Versions/3.13/bin/python3.13", "3.13.1"},
      {"/usr/local/Cellar/python@3.12/3.12.8/bin/python3.12", "3.12.8"},
      {"/opt/homebrew/Cellar/pyenv/2.5.0/libexec/pyenv", std::nullopt},
      {home + "/miniconda3/bin/python3.12", std::nullopt},
      {"/usr/bin/python3", std::nullopt},
  };
  for (const auto& [path, version] : cases) EXPECT_EQ(PythonOwnership::versionFromPath(path, home), version) << path;
}

TEST_F(PythonInventoryTest, APrefixWithoutHomebrewHoldsNoHomebrewPython) {
  fs_.makeExecutable("/usr/local/bin/python3");  // the official installer's link
  fs_.makeDirectory("/Library/Frameworks/Python.framework/Versions/3.12");
  fs_.makeExecutable("/opt/homebrew/bin/python3");
  fs_.makeExecutable("/opt/homebrew/bin/brew");
  const PythonInventory inventory = PythonInventoryScanner(fs_).scan();
  EXPECT_EQ(inventory.installs,
            (std::vector<PythonInstall>{
                {Origin::pythonOrg(), "/Library/Frameworks/Python.framework/Versions/3.12/bin/python3", "3.12"},
                {Origin::homebrew(), "/opt/homebrew/bin/python3", std::nullopt}}));
  // The /opt/homebrew Python does not make the /usr/local link Homebrew's.
  EXPECT_EQ(PythonOwnership::owningInstall("/usr/local/bin/python3", inventory), std::nullopt);
}

TEST(PythonOwnership, PyenvOnPathWithoutPyenvInstallHasNoOwner) {
  PythonInventory inventory = sampleInventory();
  std::erase_if(inventory.installs, [](const PythonInstall& i) { return i.origin.isCompeting("pyenv"); });
  EXPECT_EQ(PythonOwnership::owningInstall("/Users/alice/.pyenv/shims/python3", inventory), std::nullopt);
}

TEST(CompetingOwnerCopy, TextsForTheFourManagersOnly) {
  const auto pyenv = CompetingOwnerCopy::copy("pyenv");
  ASSERT_TRUE(pyenv.has_value());
  EXPECT_EQ(pyenv->headline, "We found Python installed with pyenv");
  EXPECT_EQ(pyenv->openingLine,
            "Pyenv is a tool for installing several versions of Python and switching between them.");
  EXPECT_EQ(pyenv->ownershipLine,
            "pyenv manages Python on this Mac, and it loads after our settings, so it will keep control of the python "
            "command. We will not change or remove any of its settings.");
  EXPECT_EQ(pyenv->recommendation, "We strongly recommend uninstalling pyenv after installing Python with uv.");
  EXPECT_EQ(pyenv->uninstallLink, "https://quillora.com/python/uninstall");
  EXPECT_TRUE(CompetingOwnerCopy::copy("rye")->uninstallLink.has_value());
  EXPECT_FALSE(CompetingOwnerCopy::copy("conda")->uninstallLink.has_value());
  EXPECT_EQ(CompetingOwnerCopy::copy("asdf")->recommendation,
            "You may not need asdf for Python any more, but keep it if you use it for other languages.");
  EXPECT_FALSE(CompetingOwnerCopy::copy("uv").has_value());
  EXPECT_FALSE(CompetingOwnerCopy::copy("homebrew").has_value());
}

}  // namespace
}  // namespace bnch
