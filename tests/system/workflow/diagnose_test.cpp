// benchkit-doctor diagnose in the simulated Mac: the classification of every
// stage, the actions and the competing owner, per scenario.
#include <gtest/gtest.h>

#include <map>
#include <string>

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

TEST_F(Diagnose, BrewNotOnPathOffersThePathRepair) {
  const Json json = doctorJson("brew-not-on-path", {"diagnose"});
  const Json& homebrew = stage(json, "homebrew");
  EXPECT_EQ(homebrew.at("diagnosis").at("classification"), "fixable");
  EXPECT_EQ(homebrew.at("diagnosis").at("headline"), "Homebrew is installed, but your shell can't find it");
  ASSERT_EQ(homebrew.at("actions").size(), 1u);
  EXPECT_EQ(homebrew.at("actions").at(0).at("id"), "path-repair:homebrew");
  EXPECT_EQ(homebrew.at("actions").at(0).at("verifyPolicy"), "localVerification");
  EXPECT_EQ(json.at("summaryLines").at(2), "Homebrew: installed, not on PATH");
  EXPECT_EQ(classifications(json).at("clt"), "ready");
}

TEST_F(Diagnose, PyenvOwningPythonIsNamedAsTheCompetingOwner) {
  const Json json = doctorJson("pyenv-owns-python", {"diagnose"});
  EXPECT_EQ(json.at("declineOwner"), "pyenv");
  EXPECT_EQ(stage(json, "python").at("diagnosis").at("classification"), "fixable");
  EXPECT_EQ(json.at("evidence").at("sections").at(1).at("rows").at(0), "`python` \u2014 pyenv 3.11.9");
}

}  // namespace
}  // namespace bnch::systest
