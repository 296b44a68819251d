// The doctor's JSON: field names as keys, enum cases by name, absent as null.
#include <gtest/gtest.h>

#include "tools/benchkit-doctor/json_output.h"

namespace bnch::doctor {
namespace {

TEST(DoctorJson, ProfileUsesFieldNamesAndCaseNames) {
  SystemProfile profile;
  profile.architecture = Architecture::appleSilicon;
  profile.macosVersion = {15, 1, 0};
  profile.shell = Shell::other("tcsh");
  profile.homebrewPrefix = "/opt/homebrew/bin/brew";
  profile.javaState.installedJDKs = {{"17.0.9", "Eclipse Adoptium", "arm64", "/Library/Java/x/Contents/Home"}};
  profile.aiTooling.claudeCliLocations = {"/opt/homebrew/bin/claude"};
  profile.isAdministrator = false;

  const Json json = toJson(profile);
  EXPECT_EQ(json["architecture"], "appleSilicon");
  EXPECT_EQ(json["macosVersion"], "15.1.0");
  EXPECT_EQ(json["shell"], "other:tcsh");
  EXPECT_EQ(toJson(Shell::zsh()), "zsh");
  EXPECT_EQ(json["homebrewPrefix"], "/opt/homebrew/bin/brew");
  EXPECT_TRUE(json["sdkmanRoot"].is_null());
  EXPECT_TRUE(json["xcodeCommandLineToolsPath"].is_null());
  EXPECT_EQ(json["javaState"]["installedJDKs"][0], (Json{{"version", "17.0.9"},
                                                         {"vendor", "Eclipse Adoptium"},
                                                         {"architecture", "arm64"},
                                                         {"path", "/Library/Java/x/Contents/Home"}}));
  EXPECT_TRUE(json["javaState"]["whichJava"].is_null());
  EXPECT_EQ(json["aiTooling"]["claudeCliLocations"][0], "/opt/homebrew/bin/claude");
  EXPECT_EQ(json["aiTooling"].size(), 16u);
  EXPECT_EQ(json["terminals"].size(), 7u);
  EXPECT_EQ(json["isAdministrator"], false);
  EXPECT_EQ(json.size(), 14u);
}

TEST(DoctorJson, BundleWithInventoryAndVerdict) {
  SetupProbeBundle bundle;
  bundle.versionExitCode = 127;
  bundle.pythonInventory = PythonInventory{
      {{PythonInstall::Origin::competing("pyenv"), "/Users/alice/.pyenv/versions/3.11.9/bin/python", "3.11.9"},
       {PythonInstall::Origin::homebrew(), "/opt/homebrew/bin/python3", std::nullopt}},
      "/Users/alice"};
  bundle.pythonPathVerdict =
      PythonPathVerdict{{"python", std::nullopt}, {"python3", "/Users/alice/.pyenv/shims/python3"}};

  const Json json = toJson(bundle);
  EXPECT_TRUE(json["versionOutput"].is_null());
  EXPECT_EQ(json["versionExitCode"], 127);
  EXPECT_EQ(json["pythonInventory"]["installs"][0]["origin"], "competing:pyenv");
  EXPECT_EQ(json["pythonInventory"]["installs"][1],
            (Json{{"origin", "homebrew"}, {"path", "/opt/homebrew/bin/python3"}, {"version", nullptr}}));
  EXPECT_EQ(json["pythonPathVerdict"]["python3"]["resolvedPath"], "/Users/alice/.pyenv/shims/python3");
  EXPECT_TRUE(json["pythonPathVerdict"]["python"]["resolvedPath"].is_null());
  EXPECT_TRUE(toJson(SetupProbeBundle{})["pythonInventory"].is_null());
}

TEST(DoctorJson, ReadinessVerdictsByRawValue) {
  const Json network = toJson(NetworkReadinessResult{NetworkVerdict::unreachable, std::nullopt, std::nullopt, 0, 3});
  EXPECT_EQ(network["verdict"], "unreachable");
  EXPECT_TRUE(network["downMbps"].is_null());
  EXPECT_EQ(network["endpointsTotal"], 3);
  const Json disk = toJson(DiskReadinessResult{DiskVerdict::low, 20'000'000'000, 15'000'000'000, 10'000'000'000});
  EXPECT_EQ(disk["verdict"], "low");
  EXPECT_EQ(disk["availableBytes"], 20'000'000'000);
}

}  // namespace
}  // namespace bnch::doctor
