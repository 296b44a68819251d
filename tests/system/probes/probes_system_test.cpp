// benchkit-doctor's profile, probes and readiness in the simulated Mac's named scenarios.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "harness/simulated_mac.h"

namespace {

using bnch::systest::DerivedScenario;
using bnch::systest::doctorJson;
using bnch::systest::MacRunOptions;
using bnch::systest::runInMac;
using bnch::systest::sandboxAvailable;
using nlohmann::json;

class DoctorInMac : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  }
};

const std::string uvPython = "/Users/alice/.local/share/uv/python/cpython-3.13.1-macos-aarch64-none/bin/python3";

// Every string anywhere in a JSON document.
void collectStrings(const json& value, std::vector<std::string>& into) {
  if (value.is_string()) into.push_back(value.get<std::string>());
  if (value.is_structured()) {
    for (const auto& item : value) collectStrings(item, into);
  }
}

TEST_F(DoctorInMac, FreshMacHasNothingButApplesPython) {
  const json profile = doctorJson("fresh-mac", {"profile"});
  EXPECT_EQ(profile["architecture"], "appleSilicon");
  EXPECT_EQ(profile["macosVersion"], "15.1.0");
  EXPECT_EQ(profile["shell"], "zsh");
  EXPECT_TRUE(profile["homebrewPrefix"].is_null());
  EXPECT_TRUE(profile["xcodeCommandLineToolsPath"].is_null());
  EXPECT_EQ(profile["isAdministrator"], true);

  const json probes = doctorJson("fresh-mac", {"probes"});
  EXPECT_EQ(probes["pathVisiblePrimaryTools"], json::array());
  EXPECT_EQ(probes["installedPrimaryToolLocations"], json::array());
  EXPECT_NE(probes["versionExitCode"], 0);
  EXPECT_EQ(probes["shellConfigured"], false);
  EXPECT_EQ(probes["gitIdentitySet"], false);
  EXPECT_EQ(probes["pythonInventory"]["installs"],
            json::parse(R"([{"origin":"apple","path":"/usr/bin/python3","version":null}])"));
  EXPECT_EQ(probes["pythonPathVerdict"]["python3"]["resolvedPath"], "/usr/bin/python3");
}

TEST_F(DoctorInMac, ReadyMacPythonIsUvs) {
  const json profile = doctorJson("ready-mac", {"profile"});
  EXPECT_EQ(profile["homebrewPrefix"], "/opt/homebrew/bin/brew");
  EXPECT_EQ(profile["xcodeCommandLineToolsPath"], "/Library/Developer/CommandLineTools");
  EXPECT_EQ(profile["terminals"]["warp"], true);
  EXPECT_EQ(profile["aiTooling"]["warpApp"], true);

  const json probes = doctorJson("ready-mac", {"probes"});
  EXPECT_EQ(probes["pathVisiblePrimaryTools"], json::array({"/opt/homebrew/bin/brew"}));
  EXPECT_EQ(probes["versionExitCode"], 0);
  EXPECT_EQ(probes["shellConfigured"], true);
  EXPECT_EQ(probes["pythonPathVerdict"]["python3"]["resolvedPath"], "/Users/alice/.local/bin/python3");
  EXPECT_EQ(probes["owningInstalls"]["python3"]["path"], uvPython);
  EXPECT_EQ(probes["owningInstalls"]["python3"]["origin"], "uv");
  EXPECT_EQ(probes["competingOwners"], json::array());
}

TEST_F(DoctorInMac, IntelHomebrewOnAppleSilicon) {
  const json profile = doctorJson("intel-brew-on-apple-silicon", {"profile"});
  EXPECT_EQ(profile["architecture"], "appleSilicon");
  EXPECT_EQ(profile["homebrewPrefix"], "/usr/local/bin/brew");
  const json probes = doctorJson("intel-brew-on-apple-silicon", {"probes"});
  EXPECT_EQ(probes["installedPrimaryToolLocations"], json::array({"/usr/local/bin/brew"}));
  for (const auto& brew : probes["pathVisiblePrimaryTools"]) EXPECT_EQ(brew, "/usr/local/bin/brew");
  EXPECT_FALSE(probes["pathVisiblePrimaryTools"].empty());
  EXPECT_EQ(probes["versionExitCode"], 0);
}

TEST_F(DoctorInMac, BrewInstalledButNotOnTheLoginShellsPath) {
  const json probes = doctorJson("brew-not-on-path", {"probes"});
  EXPECT_EQ(probes["installedPrimaryToolLocations"], json::array({"/opt/homebrew/bin/brew"}));
  EXPECT_EQ(probes["pathVisiblePrimaryTools"], json::array());
  EXPECT_NE(probes["versionExitCode"], 0);
  EXPECT_TRUE(probes["versionOutput"].is_string());  // whatever zsh said about the missing command
}

TEST_F(DoctorInMac, PyenvOwnsPython3) {
  const json probes = doctorJson("pyenv-owns-python", {"probes"});
  const std::string resolved = probes["pythonPathVerdict"]["python3"]["resolvedPath"];
  EXPECT_TRUE(resolved.starts_with("/Users/alice/.pyenv/shims/")) << resolved;
  json firstPyenv;
  for (const auto& install : probes["pythonInventory"]["installs"]) {
    if (install["origin"] == "competing:pyenv") {
      firstPyenv = install;
      break;
    }
  }
  ASSERT_FALSE(firstPyenv.is_null());
  EXPECT_EQ(firstPyenv["version"], "3.11.9");
  EXPECT_EQ(probes["owningInstalls"]["python3"], firstPyenv);
  EXPECT_EQ(probes["competingOwners"], json::array({"pyenv"}));
}

TEST_F(DoctorInMac, CondaFirstOnPathBesideHomebrewPython) {
  const json probes = doctorJson("conda-and-homebrew-python", {"probes"});
  EXPECT_EQ(probes["pythonPathVerdict"]["python3"]["resolvedPath"], "/Users/alice/miniconda3/bin/python3");
  EXPECT_EQ(probes["owningInstalls"]["python3"]["origin"], "competing:conda");
  // Versions come from folder names: the Command Line Tools' framework, the Cellar, conda's lib.
  std::map<std::string, json> byOrigin;
  for (const auto& install : probes["pythonInventory"]["installs"]) byOrigin[install["origin"]] = install;
  ASSERT_EQ(byOrigin.size(), 3u) << probes["pythonInventory"];
  EXPECT_EQ(byOrigin["apple"]["version"], "3.9");
  EXPECT_EQ(byOrigin["homebrew"]["path"], "/opt/homebrew/bin/python3");
  EXPECT_TRUE(byOrigin["homebrew"]["version"].get<std::string>().starts_with("3.13.")) << byOrigin["homebrew"];
  EXPECT_EQ(byOrigin["competing:conda"]["version"], "3.12");
  EXPECT_EQ(probes["competingOwners"], json::array({"conda"}));
}

// What a new Terminal window runs, with ~/.zshrc read as Terminal reads it: the
// command's path, the owner judged from where its links lead, and the version of
// the interpreter it runs.
TEST_F(DoctorInMac, CommandsResolveAsInANewTerminalWindow) {
  const std::string home = "/Users/alice";
  const std::string uv313 = home + "/.local/share/uv/python/cpython-3.13.1-macos-aarch64-none/bin/python3";
  struct Case {
    const char* scenario;
    std::string python3;
    std::string owner;
    std::string ownerPath;
    json version;
  };
  const Case cases[] = {
      {"pyenv-in-zshrc", home + "/.pyenv/shims/python3", "competing:pyenv", home + "/.pyenv/versions/3.11.9/bin/python",
       "3.11.9"},
      {"conda-in-zshrc", home + "/miniconda3/bin/python3", "competing:conda", home + "/miniconda3/bin/python3",
       "3.12.7"},
      {"python-org", "/usr/local/bin/python3", "pythonOrg",
       "/Library/Frameworks/Python.framework/Versions/3.12/bin/python3", "3.12"},
      {"uv-two-pythons", home + "/.local/bin/python3", "uv", uv313, "3.13.1"},
      {"zshrc-noisy-theme", home + "/.local/bin/python3", "uv", uv313, "3.13.1"},
      // Broken links are no answer: the next python3 on PATH is Apple's, which is never run.
      {"broken-python-links", "/usr/bin/python3", "apple", "/usr/bin/python3", "3.9"},
  };
  for (const Case& c : cases) {
    const json probes = doctorJson(c.scenario, {"probes"});
    EXPECT_EQ(probes["pythonPathVerdict"]["python3"]["resolvedPath"], c.python3) << c.scenario;
    const json& owner = probes["owningInstalls"]["python3"];
    EXPECT_EQ(owner["origin"], c.owner) << c.scenario << owner;
    EXPECT_EQ(owner["path"], c.ownerPath) << c.scenario << owner;
    EXPECT_EQ(owner["version"], c.version) << c.scenario << owner;
  }
  // The official installer's link is no Homebrew Python.
  const json pythonOrg = doctorJson("python-org", {"probes"});
  for (const auto& install : pythonOrg["pythonInventory"]["installs"]) EXPECT_NE(install["origin"], "homebrew");
  EXPECT_TRUE(doctorJson("broken-python-links", {"probes"})["pythonPathVerdict"]["python"]["resolvedPath"].is_null());
}

TEST_F(DoctorInMac, TheBrewANewTerminalWindowFindsFirst) {
  const json zshrc = doctorJson("brew-shellenv-in-zshrc", {"probes"});
  EXPECT_EQ(zshrc["pathVisiblePrimaryTools"], json::array({"/opt/homebrew/bin/brew"}));
  EXPECT_EQ(zshrc["versionExitCode"], 0);
  const json two = doctorJson("two-homebrews-intel-first", {"probes"});
  EXPECT_EQ(two["installedPrimaryToolLocations"], json::array({"/opt/homebrew/bin/brew", "/usr/local/bin/brew"}));
  ASSERT_FALSE(two["pathVisiblePrimaryTools"].empty());
  EXPECT_EQ(two["pathVisiblePrimaryTools"][0], "/usr/local/bin/brew");
}

// A ~/.zshrc that replaces zsh with another program, or takes longer than the
// time limit, leaves nothing to learn from a new Terminal window: every shell
// answer is absent (never a wrong one), and the file-based answers stay.
TEST_F(DoctorInMac, AZshrcThatNeverRunsTheCommandGivesNoAnswer) {
  for (const char* scenario : {"zshrc-execs-shell", "zshrc-slow"}) {
    const json probes = doctorJson(scenario, {"probes"});
    EXPECT_TRUE(probes["pythonPathVerdict"]["python3"]["resolvedPath"].is_null()) << scenario;
    EXPECT_TRUE(probes["owningInstalls"]["python3"].is_null()) << scenario;
    EXPECT_EQ(probes["pathVisiblePrimaryTools"], json::array()) << scenario;
    EXPECT_EQ(probes["versionExitCode"], -1) << scenario;
    EXPECT_TRUE(probes["versionOutput"].is_null()) << scenario;
    EXPECT_EQ(probes["installedPrimaryToolLocations"], json::array({"/opt/homebrew/bin/brew"})) << scenario;
    EXPECT_EQ(probes["shellConfigured"], true) << scenario;
    EXPECT_EQ(probes["pythonInventory"]["installs"].size(), 2u) << scenario;
  }
}

// Typed in Terminal, the doctor runs with a controlling terminal; the new Terminal
// window's shells it starts must not be stopped by that terminal's job control.
TEST_F(DoctorInMac, UnderAPseudoTerminalEveryShellStillAnswers) {
  const auto run = runInMac("ready-mac", {"/usr/bin/script", "--quiet", "--return", "--command",
                                          bnch::systest::doctorPath().string() + " probes --json", "/dev/null"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::string out = run.out;
  std::erase(out, '\r');
  const json probes = json::parse(out);
  EXPECT_EQ(probes["pythonPathVerdict"]["python3"]["resolvedPath"], "/Users/alice/.local/bin/python3");
  EXPECT_EQ(probes["pathVisiblePrimaryTools"], json::array({"/opt/homebrew/bin/brew"}));
  EXPECT_EQ(probes["versionExitCode"], 0);
}

TEST_F(DoctorInMac, StandardUserIsNotAnAdministrator) {
  EXPECT_EQ(doctorJson("standard-user", {"profile"})["isAdministrator"], false);
}

TEST_F(DoctorInMac, NoisyStartUpFilesNeverReachAValue) {
  const json probes = doctorJson("noisy-zprofile", {"probes"});
  const json profile = doctorJson("noisy-zprofile", {"profile"});
  EXPECT_EQ(probes["versionOutput"], doctorJson("ready-mac", {"probes"})["versionOutput"]);
  EXPECT_EQ(probes["pathVisiblePrimaryTools"], json::array({"/opt/homebrew/bin/brew"}));
  EXPECT_EQ(probes["pythonPathVerdict"]["python"]["resolvedPath"], "/Users/alice/.local/bin/python");
  EXPECT_EQ(probes["pythonPathVerdict"]["python3"]["resolvedPath"], "/Users/alice/.local/bin/python3");
  EXPECT_TRUE(profile["javaState"]["javaHomeInActiveShell"].is_null());
  std::vector<std::string> values;
  collectStrings(probes, values);
  collectStrings(profile, values);
  for (const auto& value : values) {
    for (const char* noise : {"Welcome back", "Last backup", "fortune", "Loading your prompt"}) {
      EXPECT_EQ(value.find(noise), std::string::npos) << value;
    }
  }
}

TEST_F(DoctorInMac, JdksOddEnvironmentAndBadFiles) {
  const DerivedScenario scenario("ready-mac", json::parse(R"({
        "env": {"SHELL": "/", "USER": "alice smith"},
        "tools": {"jdks": [{"folder": "temurin-17.jdk", "version": "17.0.9", "vendor": "Eclipse Adoptium"}]},
        "files": [
          {"path": "/Library/Java/JavaVirtualMachines/legacy.jdk/Contents/Info.plist",
           "content": "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>JavaVM</key><dict><key>JVMVersion</key><string>1.8.0_292</string></dict></dict></plist>"},
          {"path": "/Library/Java/JavaVirtualMachines/broken.jdk/Contents/Info.plist", "content": "not a plist"},
          {"path": "/Library/Java/JavaVirtualMachines/broken.jdk/Contents/Home/release", "content": "JAVA_VERSION=\"x\"\n"},
          {"path": "~/.zshenv", "lines": ["export JAVA_HOME=/Library/Java/JavaVirtualMachines/temurin-17.jdk/Contents/Home"]}
        ]
      })"));
  const json profile = doctorJson(scenario.path(), {"profile"});
  EXPECT_EQ(profile["shell"], "other:unknown");
  EXPECT_EQ(profile["isAdministrator"], true);  // no answer for an unknown user: counts as administrator
  const json expectedJdks = json::parse(R"([
    {"version": "17.0.9", "vendor": "Eclipse Adoptium", "architecture": "arm64",
     "path": "/Library/Java/JavaVirtualMachines/temurin-17.jdk/Contents/Home"},
    {"version": "1.8.0_292", "vendor": "", "architecture": "",
     "path": "/Library/Java/JavaVirtualMachines/legacy.jdk/Contents/Home"}])");
  EXPECT_EQ(profile["javaState"]["installedJDKs"], expectedJdks);
  EXPECT_EQ(profile["javaState"]["jvmDirContents"].size(), 3u);
  EXPECT_EQ(profile["javaState"]["javaHomeInActiveShell"],
            "/Library/Java/JavaVirtualMachines/temurin-17.jdk/Contents/Home");
}

TEST_F(DoctorInMac, OldMacOSGetsTheAdvisoryWithoutTouchingTheNetwork) {
  const json readiness = doctorJson("old-macos", {"readiness", "--no-network"});
  EXPECT_TRUE(readiness["network"].is_null());
  EXPECT_EQ(readiness["macOS"]["macosVersion"], "13.7.1");
  EXPECT_EQ(readiness["macOS"]["isOutdatedMacOS"], true);
  ASSERT_EQ(readiness["warnings"].size(), readiness["disk"]["shouldWarn"] == true ? 2u : 1u);
  EXPECT_TRUE(readiness["warnings"].back()["copy"]["body"].get<std::string>().starts_with("macOS 13 is old enough"));
  EXPECT_EQ(doctorJson("ready-mac", {"readiness", "--no-network"})["macOS"]["isOutdatedMacOS"], false);
}

TEST_F(DoctorInMac, ReadableReportCoversAllThree) {
  const auto run = runInMac("pyenv-owns-python", {bnch::systest::doctorPath().string(), "report", "--no-network"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  for (const char* heading :
       {"This Mac", "Python and the terminal", "Readiness", "/Users/alice/.pyenv/shims/python3"}) {
    EXPECT_NE(run.out.find(heading), std::string::npos) << heading << "\n" << run.out;
  }
}

}  // namespace

namespace {

// Stopping the doctor while its login shells hang in ~/.zprofile ends them all:
// no process of the run is left, and the doctor exits with 128 + SIGTERM.
TEST_F(DoctorInMac, SigtermEndsEveryProcessTheProbesStarted) {
  const DerivedScenario scenario("ready-mac", json::parse(R"({
        "files": [{"path": "~/.zprofile", "lines": ["sleep 300"]}]
      })"));
  const std::string script = "'" + bnch::systest::doctorPath().string() +
                             "' probes --json >/dev/null 2>&1 & doctor=$!\n"
                             "for i in $(seq 100); do pgrep -x sleep >/dev/null && break; sleep 0.1; done\n"
                             "kill -TERM $doctor; wait $doctor; echo \"status $?\"\n"
                             "sleep 0.5; ps -eo comm= | grep -Ex 'zsh|sleep|benchkit-doctor' | sort | uniq -c\n"
                             "true\n";
  const auto run = bnch::systest::runInMac(scenario.path(), {"/bin/bash", "-c", script});
  EXPECT_EQ(run.out, "status 143\n") << run.err;
}

// A FIFO where each start-up file and agent file should be: nothing waits on it
// for longer than the probes' time limit, and the answer is still a document.
TEST_F(DoctorInMac, FifosInPlaceOfStartUpFilesNeverHangTheProbes) {
  const std::string script =
      "mkdir -p ~/.codex && mkfifo ~/.zprofile ~/.zshrc ~/.zlogin ~/.claude.json ~/.codex/config.toml && exec '" +
      bnch::systest::doctorPath().string() + "' probes --json";
  const auto run = bnch::systest::runInMac("fresh-mac", {"/bin/bash", "-c", script});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json probes = json::parse(run.out);
  EXPECT_EQ(probes["shellConfigured"], false);
  EXPECT_EQ(probes["pathVisiblePrimaryTools"], json::array());
}

}  // namespace
