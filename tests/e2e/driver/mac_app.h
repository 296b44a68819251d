// The end-to-end driver: benchkit-python in a simulated Mac, driven as a person
// drives it, through the controls' accessibility identifiers (objectName).
//
//   MacApp app("fresh-mac");
//   app.launch();
//   app.click("consent-continue");               // waits for the control first
//   app.waitFor("welcome-screen");
//   app.screenshot("welcome");                   // build/screens/e2e/welcome.png
//   EXPECT_TRUE(fs::exists(app.home() / ".zprofile"));
//   app.quit();                                   // 0: it quit cleanly
//   app.waitForEvent("app_quit");                 // usage events reach a local collector
//
// The simulated disk lives for the whole object, so launches after the first find
// what earlier ones left (a second launch, a launch after a killed run). The window
// renders offscreen inside the sandbox; the program listens on a socket in a
// shared folder (app/automation.h) and sends its usage events to the collector;
// its readiness check measures a local server, which a scenario that is not
// online cannot reach.
// Every wait has a time limit; a control or text that never comes, or a command
// the program refuses, fails the test with what the window showed. Not thread-safe.
#pragma once

#include <sys/types.h>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "harness/simulated_mac.h"
#include "tests/support/local_collector.h"
#include "tests/support/local_http_server.h"

namespace bnch::e2e {

using namespace std::chrono_literals;

class MacApp {
 public:
  static constexpr std::chrono::milliseconds defaultWait = 20s;

  // Lays `scenario` (a name of tests/system/scenarios or a .json path) out once;
  // `env` is added to the program's environment at every launch.
  explicit MacApp(std::string_view scenario, std::map<std::string, std::string> env = {});
  ~MacApp();
  MacApp(const MacApp&) = delete;
  MacApp& operator=(const MacApp&) = delete;

  // Starts the program and waits until it answers.
  void launch();
  // Asks it to quit (the Quit menu item) and returns its exit status.
  int quit();
  // Closes the window (its close button) and returns the exit status.
  int closeWindow();
  // Kills it with SIGKILL, as a forced quit or a crash does; returns its exit status.
  int kill();

  // The first visible control with this objectName (a refusal fails the test).
  bool isShown(const std::string& name);
  // Waits for the control; the screen must have stopped moving.
  void waitFor(const std::string& name, std::chrono::milliseconds limit = defaultWait);
  // Whether a visible item shows this text now (part of its text).
  bool showsText(const std::string& text);
  void waitForText(const std::string& text, std::chrono::milliseconds limit = defaultWait);
  void click(const std::string& name, std::chrono::milliseconds limit = defaultWait);
  void type(const std::string& name, const std::string& text, std::chrono::milliseconds limit = defaultWait);
  nlohmann::json property(const std::string& name, const std::string& property);
  // Saves the window as build/screens/e2e/<label>.png.
  void screenshot(const std::string& label);

  // What the program wrote to its standard output and error, all launches so far.
  std::string programOutput() const;
  // The simulated user's home folder, as seen from the host.
  std::filesystem::path home() const;
  testing::LocalCollector& collector() { return *collector_; }
  // The names of the delivered usage events, in arrival order.
  std::vector<std::string> eventNames() const { return collector_->deliveredNames(); }
  // Every usage event so far, each once: those delivered, then those still in the
  // program's pending file (a quit does not wait for delivery; the next launch
  // sends them). Call it while the program is not running.
  std::vector<std::string> eventNamesSentOrPending() const;
  // Waits until `count` events called `name` have been delivered; returns the last.
  JSONObject waitForEvent(const std::string& name, std::size_t count = 1,
                          std::chrono::milliseconds limit = defaultWait);

 private:
  nlohmann::json send(const std::string& command);
  nlohmann::json sendOK(const std::string& command);
  nlohmann::json waitUntil(const std::string& what, const std::string& command, const std::string& key,
                           std::chrono::milliseconds limit);
  std::string launcherLine(std::chrono::milliseconds limit);
  void connect();
  int exitStatus(const std::string& command);

  systest::ScratchDir scratch_;
  std::unique_ptr<testing::LocalCollector> collector_;
  std::unique_ptr<testing::LocalHTTPServer> network_;
  std::filesystem::path socket_;
  pid_t macsim_ = -1;
  int launcherIn_ = -1;
  int launcherOut_ = -1;
  int connection_ = -1;
  std::string launcherBuffer_;
  std::string connectionBuffer_;
  bool running_ = false;
};

}  // namespace bnch::e2e
