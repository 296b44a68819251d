// benchkit-doctor diagnose in the simulated Mac: the classification of every
// stage, the actions and the competing owner, per scenario.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "harness/simulated_mac.h"

namespace bnch::systest {
namespace {

using Json = nlohmann::json;

class Diagnose : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  }
};

std::map<std::string, std::string> classifications(const Json& json) {
  std::map<std::string, std::string> result;
  for (const Json& stage : json.at("stages")) {
    result[stage.at("domainID").get<std::string>()] = stage.at("diagnosis").at("classification").get<std::string>();
  }
  return result;
}

const Json& stage(const Json& json, const std::string& domain) {
  for (const Json& s : json.at("stages")) {
    if (s.at("domainID") == domain) return s;
  }
  throw std::runtime_error("no stage " + domain);
}

TEST_F(Diagnose, AFreshMacNeedsEveryPrimaryStage) {
  const Json json = doctorJson("fresh-mac", {"diagnose"});
  EXPECT_EQ(json.at("stages").size(), 16u);
  const auto classes = classifications(json);
  for (const char* domain : {"clt", "shell-config", "homebrew", "warp", "python"}) {
    EXPECT_EQ(classes.at(domain), "fixable") << domain;
  }
  EXPECT_EQ(json.at("summaryLines"),
            Json::array({"Command Line Tools: not installed", "Shell configuration: not installed",
                         "Homebrew: not installed", "Python: not installed"}));
  EXPECT_EQ(stage(json, "clt").at("actions").at(0).at("id"), "clt");
  EXPECT_EQ(stage(json, "homebrew").at("actions").at(0).at("id"), "homebrew");
  EXPECT_EQ(stage(json, "python").at("actions").at(0).at("id"), "brew:uv");
  EXPECT_EQ(stage(json, "python-project").at("placement"), "offer");
  EXPECT_TRUE(json.at("declineOwner").is_null());
  const Json& evidence = json.at("evidence");
  EXPECT_EQ(evidence.at("sections").at(1).at("rows"),
            Json::array({"`python` \u2014 not found", "`python3` \u2014 Apple"}));
  EXPECT_EQ(evidence.at("note"), "Continuing will install and properly configure Python using the uv utility.");
}

TEST_F(Diagnose, AReadyMacHasEveryPrimaryStageReady) {
  const Json json = doctorJson("ready-mac", {"diagnose"});
  for (const char* domain : {"clt", "shell-config", "homebrew", "warp", "python"}) {
    EXPECT_EQ(stage(json, domain).at("diagnosis").at("classification"), "ready") << domain;
    EXPECT_TRUE(stage(json, domain).at("actions").empty()) << domain;
  }
  EXPECT_TRUE(json.at("evidence").at("note").is_null());
  EXPECT_EQ(stage(json, "python").at("diagnosis").at("headline"), "Python is set up with uv");
}

// Also when the first brew a new Terminal window finds is the Intel one: what the
// native brew installs would stay out of the terminal's reach.
TEST_F(Diagnose, BrewNotOnPathOffersThePathRepair) {
  for (const char* scenario : {"brew-not-on-path", "two-homebrews-intel-first"}) {
    const Json json = doctorJson(scenario, {"diagnose"});
    const Json& homebrew = stage(json, "homebrew");
    EXPECT_EQ(homebrew.at("diagnosis").at("classification"), "fixable") << scenario;
    EXPECT_EQ(homebrew.at("diagnosis").at("headline"), "Homebrew is installed, but your shell can't find it")
        << scenario;
    ASSERT_EQ(homebrew.at("actions").size(), 1u) << scenario;
    EXPECT_EQ(homebrew.at("actions").at(0).at("id"), "path-repair:homebrew") << scenario;
    EXPECT_EQ(homebrew.at("actions").at(0).at("verifyPolicy"), "localVerification") << scenario;
    EXPECT_EQ(json.at("summaryLines").at(2), "Homebrew: installed, not on PATH") << scenario;
    EXPECT_EQ(classifications(json).at("clt"), "ready") << scenario;
  }
}

TEST_F(Diagnose, PyenvOwningPythonIsNamedAsTheCompetingOwner) {
  const Json json = doctorJson("pyenv-owns-python", {"diagnose"});
  EXPECT_EQ(json.at("declineOwner"), "pyenv");
  EXPECT_EQ(stage(json, "python").at("diagnosis").at("classification"), "fixable");
  EXPECT_EQ(json.at("evidence").at("sections").at(1).at("rows").at(0), "`python` \u2014 pyenv 3.11.9");
}

// The expected class of every stage, in workflow order. None of the scenarios has
// an AI tool, an editor or the GitHub CLI, so the optional part is the same in all.
struct ScenarioClasses {
  const char* scenario;
  const char* clt;
  const char* shellConfig;
  const char* homebrew;
  const char* warp;
  const char* python;
};

std::vector<std::pair<std::string, std::string>> expectedStages(const ScenarioClasses& expected) {
  return {
      {"clt", expected.clt},
      {"shell-config", expected.shellConfig},
      {"homebrew", expected.homebrew},
      {"warp", expected.warp},
      {"python", expected.python},
      {"python-project", "fixable"},
      {"ai-claude", "fixable"},
      {"codex", "fixable"},
      {"project", "fixable"},
      {"skills", "fixable"},
      {"mcp", "fixable"},
      {"editor", "fixable"},
      {"notes", "fixable"},
      {"languages", "fixable"},
      {"agent-docs", "ready"},
      {"git", "fixable"},
  };
}

class DiagnoseScenario : public ::testing::TestWithParam<ScenarioClasses> {
 protected:
  void SetUp() override {
    if (!sandboxAvailable()) GTEST_SKIP() << "bubblewrap cannot build a sandbox here";
  }
};

TEST_P(DiagnoseScenario, EveryStageHasTheExpectedClass) {
  const ScenarioClasses& expected = GetParam();
  const Json json = doctorJson(expected.scenario, {"diagnose"});
  std::vector<std::pair<std::string, std::string>> actual;
  for (const Json& s : json.at("stages")) {
    actual.emplace_back(s.at("domainID").get<std::string>(), s.at("diagnosis").at("classification").get<std::string>());
  }
  EXPECT_EQ(actual, expectedStages(expected)) << expected.scenario;
  // A ready stage never offers an action; a fixable primary stage always does.
  for (const Json& s : json.at("stages")) {
    if (s.at("diagnosis").at("classification") == "ready") {
      EXPECT_TRUE(s.at("actions").empty()) << s.dump();
    }
    if (s.at("placement") == "primary" && s.at("diagnosis").at("classification") == "fixable") {
      EXPECT_FALSE(s.at("actions").empty()) << s.dump();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, DiagnoseScenario,
    ::testing::Values(ScenarioClasses{"fresh-mac", "fixable", "fixable", "fixable", "fixable", "fixable"},
                      ScenarioClasses{"ready-mac", "ready", "ready", "ready", "ready", "ready"},
                      ScenarioClasses{"intel-brew-on-apple-silicon", "ready", "fixable", "fixable", "fixable",
                                      "fixable"},
                      ScenarioClasses{"brew-not-on-path", "ready", "fixable", "fixable", "fixable", "fixable"},
                      ScenarioClasses{"pyenv-owns-python", "ready", "fixable", "ready", "fixable", "fixable"},
                      ScenarioClasses{"conda-and-homebrew-python", "ready", "fixable", "ready", "fixable", "fixable"},
                      ScenarioClasses{"standard-user", "fixable", "fixable", "fixable", "fixable", "fixable"},
                      ScenarioClasses{"old-macos", "fixable", "fixable", "fixable", "fixable", "fixable"},
                      ScenarioClasses{"noisy-zprofile", "ready", "ready", "ready", "ready", "ready"},
                      ScenarioClasses{"offline", "ready", "ready", "ready", "ready", "ready"},
                      ScenarioClasses{"pyenv-in-zshrc", "ready", "ready", "ready", "ready", "fixable"},
                      ScenarioClasses{"conda-in-zshrc", "ready", "fixable", "fixable", "fixable", "fixable"},
                      ScenarioClasses{"brew-shellenv-in-zshrc", "ready", "fixable", "ready", "fixable", "fixable"},
                      ScenarioClasses{"python-org", "ready", "fixable", "fixable", "fixable", "fixable"},
                      ScenarioClasses{"two-homebrews-intel-first", "ready", "fixable", "fixable", "fixable", "fixable"},
                      ScenarioClasses{"uv-two-pythons", "ready", "ready", "ready", "ready", "ready"},
                      ScenarioClasses{"zshrc-noisy-theme", "ready", "ready", "ready", "ready", "ready"},
                      ScenarioClasses{"zshrc-execs-shell", "ready", "ready", "fixable", "ready", "fixable"},
                      ScenarioClasses{"broken-python-links", "ready", "fixable", "fixable", "fixable", "fixable"}),
    [](const ::testing::TestParamInfo<ScenarioClasses>& info) {
      std::string name = info.param.scenario;
      for (char& c : name) {
        if (c == '-') c = '_';
      }
      return name;
    });

TEST_F(Diagnose, IntelBrewOnAppleSiliconOffersTheNativeInstall) {
  const Json json = doctorJson("intel-brew-on-apple-silicon", {"diagnose"});
  const Json& homebrew = stage(json, "homebrew");
  EXPECT_EQ(homebrew.at("diagnosis").at("headline"), "Homebrew is installed for the wrong chip");
  ASSERT_EQ(homebrew.at("actions").size(), 1u);
  EXPECT_EQ(homebrew.at("actions").at(0).at("id"), "homebrew");
  EXPECT_EQ(homebrew.at("actions").at(0).at("verifyPolicy"), "installCompletion");
  EXPECT_EQ(json.at("summaryLines").at(2), "Homebrew: installed for the wrong chip");
}

TEST_F(Diagnose, CondaOwningPythonIsNamedAsTheCompetingOwner) {
  const Json json = doctorJson("conda-and-homebrew-python", {"diagnose"});
  EXPECT_EQ(json.at("declineOwner"), "conda");
  const Json& rows = json.at("evidence").at("sections").at(1).at("rows");
  EXPECT_EQ(rows.at(0).get<std::string>().rfind("`python` \u2014 conda", 0), 0u) << rows.dump();
  EXPECT_EQ(rows.at(1).get<std::string>().rfind("`python3` \u2014 conda", 0), 0u) << rows.dump();
  EXPECT_EQ(json.at("evidence").at("note"),
            "Continuing will install and properly configure Python using the uv utility.");
}

// The rows of "What actually runs when you type the commands:".
std::vector<std::string> commandRows(const Json& json) {
  return json.at("evidence").at("sections").at(1).at("rows").get<std::vector<std::string>>();
}

TEST_F(Diagnose, TheEvidenceNamesWhatANewTerminalWindowRuns) {
  const Json pyenv = doctorJson("pyenv-in-zshrc", {"diagnose"});
  EXPECT_EQ(commandRows(pyenv),
            (std::vector<std::string>{"`python` \u2014 pyenv 3.11.9", "`python3` \u2014 pyenv 3.11.9"}));
  EXPECT_EQ(pyenv.at("declineOwner"), "pyenv");
  const Json conda = doctorJson("conda-in-zshrc", {"diagnose"});
  EXPECT_EQ(commandRows(conda).at(1), "`python3` \u2014 conda 3.12.7");
  EXPECT_EQ(conda.at("declineOwner"), "conda");
  const Json pythonOrg = doctorJson("python-org", {"diagnose"});
  EXPECT_EQ(commandRows(pythonOrg).at(1), "`python3` \u2014 python.org 3.12");
  EXPECT_EQ(pythonOrg.at("summaryLines").at(2), "Homebrew: not installed");
  EXPECT_EQ(commandRows(doctorJson("uv-two-pythons", {"diagnose"})).at(1), "`python3` \u2014 uv 3.13.1");
  // Nothing can be learnt from a Terminal that runs another shell: nothing is claimed.
  EXPECT_EQ(commandRows(doctorJson("zshrc-execs-shell", {"diagnose"})),
            (std::vector<std::string>{"`python` \u2014 not found", "`python3` \u2014 not found"}));
}

// A pyenv that neither command leads to keeps no control: it is listed among the
// installed Pythons, and no step says it will keep control.
TEST_F(Diagnose, AnUnusedManagerIsOnlyListed) {
  const DerivedScenario unused("pyenv-owns-python", Json::parse(R"({"files": [{"path": "~/.zprofile",
                                   "lines": ["eval \"$(/opt/homebrew/bin/brew shellenv)\""]}]})"));
  const Json json = doctorJson(unused.path(), {"diagnose"});
  EXPECT_TRUE(json.at("declineOwner").is_null());
  const auto installed = json.at("evidence").at("sections").at(0).at("rows").get<std::vector<std::string>>();
  EXPECT_NE(std::find(installed.begin(), installed.end(), "Python 3.11.9 \u2014 pyenv, in your home folder"),
            installed.end());
  EXPECT_EQ(commandRows(json).at(1).rfind("`python3` \u2014 Apple", 0), 0u) << commandRows(json).at(1);
}

TEST_F(Diagnose, AStandardUserIsToldButStillOfferedTheCommandLineTools) {
  const Json json = doctorJson("standard-user", {"diagnose"});
  const Json& clt = stage(json, "clt");
  EXPECT_EQ(clt.at("diagnosis").at("headline"), "Not logged in as an administrator");
  ASSERT_EQ(clt.at("actions").size(), 1u);
  EXPECT_EQ(clt.at("actions").at(0).at("id"), "clt");
  EXPECT_EQ(json.at("summaryLines").at(0), "Command Line Tools: not installed");
}

TEST_F(Diagnose, GreetingsAndAMissingNetworkDoNotChangeTheDiagnosis) {
  const Json ready = doctorJson("ready-mac", {"diagnose"});
  for (const char* scenario : {"noisy-zprofile", "offline"}) {
    const Json json = doctorJson(scenario, {"diagnose"});
    EXPECT_EQ(json.at("summaryLines"), ready.at("summaryLines")) << scenario;
    EXPECT_EQ(json.at("evidence"), ready.at("evidence")) << scenario;
    EXPECT_TRUE(json.at("declineOwner").is_null()) << scenario;
  }
}

}  // namespace
}  // namespace bnch::systest
