// Test harness for system tests: runs commands in the simulated Mac through the macsim
// executable and hands back what they printed.
//
//   auto run = bnch::systest::runInMac("fresh-mac", {"/usr/bin/uname", "-m"});
//   EXPECT_EQ(run.out, "arm64\n");
//   auto doc = bnch::systest::doctorJson("ready-mac", {"profile"});   // benchkit-doctor ... --json
//
// Every call lays the scenario out afresh, so runs never see each other's changes, except
// through a `keep` folder a test chooses. Calls are blocking and may run on any thread.
// Failures to start macsim throw std::runtime_error; everything else is in the MacRun.
#pragma once

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace bnch::systest {

struct MacRun {
  int exitCode = -1;  // the command's exit status; 125 when macsim itself failed
  std::string out;
  std::string err;
};

struct MacRunOptions {
  std::map<std::string, std::string> env{};    // set inside (an empty value removes the variable)
  std::filesystem::path keep{};                // lay the disk out here and leave it (must be empty)
  std::vector<std::filesystem::path> share{};  // host folders writable inside at the same path
  std::string stdinText{};                     // fed to the command's standard input
};

// tests/system/scenarios/<name>.json, or `name` itself when it ends in ".json".
std::filesystem::path scenarioPath(std::string_view name);

// Path of the macsim executable and of benchkit-doctor in the build tree.
std::filesystem::path macsimPath();
std::filesystem::path doctorPath();

// True when bubblewrap can build a sandbox on this machine (tests skip otherwise).
bool sandboxAvailable();

// Runs `command` in a fresh copy of `scenario`.
MacRun runInMac(std::string_view scenario, const std::vector<std::string>& command, const MacRunOptions& options = {});

// Runs `script` in a login zsh (`/bin/zsh -lc script`), as the product does.
MacRun loginShell(std::string_view scenario, const std::string& script, const MacRunOptions& options = {});

// The environment that sends git's https://github.com/OWNER/NAME to the stand-in
// repositories published with `/.macsim/fakes/github-repo` (and fetches their pinned
// commits along). Give it to the run whose programs clone from GitHub.
std::map<std::string, std::string> githubStandInEnv();

// Runs benchkit-doctor with `args` and "--json" and parses its standard output. Throws
// std::runtime_error (with both outputs) when the output is not JSON.
nlohmann::json doctorJson(std::string_view scenario, const std::vector<std::string>& args,
                          const MacRunOptions& options = {});

// A scenario written for one test: `overrides` extends the named scenario (objects merge,
// "files" lists add up). The file lives until the object is destroyed.
class DerivedScenario {
 public:
  DerivedScenario(std::string_view base, const nlohmann::json& overrides);
  ~DerivedScenario();
  DerivedScenario(const DerivedScenario&) = delete;
  DerivedScenario& operator=(const DerivedScenario&) = delete;
  std::string path() const { return file_.string(); }

 private:
  std::filesystem::path dir_;
  std::filesystem::path file_;
};

// A private folder for `--keep` or `--share`, removed (with everything in it) on destruction.
// It belongs to the simulated user, so that it is writable inside the sandbox.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return dir_; }
  // A not-yet-existing subfolder, for --keep.
  std::filesystem::path sub(const std::string& name) const { return dir_ / name; }

 private:
  std::filesystem::path dir_;
};

}  // namespace bnch::systest
