// `benchkit-doctor diagnose --json` in the simulated Mac: the classification of
// every stage, the actions and the competing owner per scenario.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace {

using Json = nlohmann::json;

struct Run {
  int exitCode = -1;
  std::string output;
};

Run runInScenario(const std::string& scenario) {
  const std::string command = std::string("'") + MACSIM_PATH + "' run '" + SCENARIOS_DIR + "/" + scenario +
                              ".json' -- '" + DOCTOR_PATH + "' diagnose --json 2>/dev/null";
  Run run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.output.append(buffer.data(), n);
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

Json diagnose(const std::string& scenario) {
  const Run run = runInScenario(scenario);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  Json json = Json::parse(run.output, nullptr, false);
  EXPECT_FALSE(json.is_discarded()) << run.output;
  return json;
}

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

TEST(DiagnoseInSimulatedMac, FreshMacNeedsEveryPrimaryStage) {
  const Json json = diagnose("fresh-mac");
  ASSERT_TRUE(json.is_object());
  const auto classes = classifications(json);
  EXPECT_EQ(json.at("stages").size(), 16u);
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
  ASSERT_TRUE(json.at("evidence").is_object());
  EXPECT_EQ(json.at("evidence").at("sections").at(1).at("heading"), "What actually runs when you type the commands:");
  EXPECT_TRUE(json.at("evidence").at("note").is_string());
}

TEST(DiagnoseInSimulatedMac, ReadyMacHasEveryPrimaryStageReady) {
  const Json json = diagnose("ready-mac");
  ASSERT_TRUE(json.is_object());
  const auto classes = classifications(json);
  for (const char* domain : {"clt", "shell-config", "homebrew", "warp", "python"}) {
    EXPECT_EQ(classes.at(domain), "ready") << domain;
    EXPECT_TRUE(stage(json, domain).at("actions").empty()) << domain;
  }
  EXPECT_TRUE(json.at("evidence").at("note").is_null());
}

TEST(DiagnoseInSimulatedMac, BrewNotOnPathOffersThePathRepair) {
  const Json json = diagnose("brew-not-on-path");
  ASSERT_TRUE(json.is_object());
  const Json& homebrew = stage(json, "homebrew");
  EXPECT_EQ(homebrew.at("diagnosis").at("classification"), "fixable");
  EXPECT_EQ(homebrew.at("diagnosis").at("headline"), "Homebrew is installed, but your shell can't find it");
  ASSERT_EQ(homebrew.at("actions").size(), 1u);
  EXPECT_EQ(homebrew.at("actions").at(0).at("id"), "path-repair:homebrew");
  EXPECT_EQ(homebrew.at("actions").at(0).at("verifyPolicy"), "localVerification");
  EXPECT_EQ(classifications(json).at("clt"), "ready");
}

TEST(DiagnoseInSimulatedMac, PyenvOwnsPythonIsNamed) {
  const Json json = diagnose("pyenv-owns-python");
  ASSERT_TRUE(json.is_object());
  EXPECT_EQ(json.at("declineOwner"), "pyenv");
  EXPECT_EQ(classifications(json).at("python"), "fixable");
}

}  // namespace
