#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "engine/platform/key_value_storing.h"
#include "engine/probes/system_profile.h"
#include "engine/telemetry/usage_event_tracking.h"

namespace bnch {

// The answer to a quit request: terminate now, or refuse and show the alert.
struct QuitDecision {
  bool terminate = true;
  // The alert's texts; empty when terminating.
  std::string messageText;
  std::string informativeText;
  std::string buttonTitle;

  bool operator==(const QuitDecision&) const = default;
};

// Ties usage events to the program's runs and guards quitting during an install.
//
// The window layer calls `appeared` each time the main window is shown, and,
// once `observersRegistered()` is true, forwards the application's
// will-terminate notification (`willTerminate`) and every window's will-close
// notification (`windowWillClose`). The first appearance sends "app_launched"
// and, unless in fixture mode, starts the run: a run identifier left under
// "bnch_run_in_progress" by a run that never quit is reported once as
// "previous_run_unclean", and this run's identifier is stored there until the
// clean quit removes it. Later appearances send "app_reopened".
//
// The progress screen counts installs in flight (`beginInstall`/`endInstall`);
// while any runs, `shouldTerminate` refuses with the alert's texts and closing
// the last window does not end the program.
//
// Events go to the tracker, which queues them and returns at once. Each of
// "app_launched", "app_quit" and "window_closed" is sent at most once per
// instance. All members may be called from any thread (the platform calls them
// on the main thread); no lock is held while an event is handed over.
class RunLifecycle {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  static constexpr const char* runInProgressKey = "bnch_run_in_progress";
  static constexpr const char* quitAlertMessage = "An install is still running";
  static constexpr const char* quitAlertInformative =
      "Let it finish before quitting — stopping now could leave the install half-done.";
  static constexpr const char* quitAlertButton = "OK";

  // `tracker` must outlive the lifecycle. `now` defaults to the steady clock;
  // the launch time is taken at construction. `afterQuitEvent`, when set, runs
  // on the quitting thread right after "app_quit" was handed to the tracker
  // (the process's lifecycle waits there until the event is on disk).
  RunLifecycle(std::shared_ptr<KeyValueStoring> store, UsageEventTracking& tracker, Clock now = {},
               std::function<void()> afterQuitEvent = {});

  // The main window was shown. `runID` is the telemetry service's run in lower
  // case; `profile` is absent until profiling finished; `markRun` is false in
  // fixture mode; `currentScreen` names the screen now shown.
  void appeared(const std::string& runID, const std::optional<SystemProfile>& profile, bool markRun,
                std::function<std::string()> currentScreen);

  // True once a marked run has started: from then on the window layer forwards
  // will-terminate and window-close. Before that the two calls below do nothing.
  bool observersRegistered() const;

  // The application is about to terminate: the run is marked clean and "app_quit" is sent (once).
  void willTerminate();
  // A window will close. Only the first close of a main-capable, top-level
  // window that is not a sheet sends "window_closed".
  void windowWillClose(bool isSheet, bool hasParent, bool canBecomeMain);

  void beginInstall();
  // Never takes the count below zero, so an unmatched end cannot block quitting forever.
  void endInstall();
  int inFlightCount() const;

  QuitDecision shouldTerminate() const;
  bool shouldTerminateAfterLastWindowClosed() const;

  // The name the current-screen function gives ("welcome" until `appeared` supplies one).
  std::string currentScreenName() const;

 private:
  std::int64_t wholeSecondsSince(std::chrono::steady_clock::time_point start) const;
  void startRun(const std::string& runID);

  std::shared_ptr<KeyValueStoring> store_;
  UsageEventTracking& tracker_;
  Clock now_;
  std::function<void()> afterQuitEvent_;
  std::chrono::steady_clock::time_point launchDate_;

  mutable std::mutex mutex_;
  std::function<std::string()> currentScreen_;
  bool didRegisterObserver_ = false;
  bool didQuit_ = false;
  bool didEmitLaunch_ = false;
  std::chrono::steady_clock::time_point lastAppearance_;
  bool didEmitWindowClosed_ = false;
  int inFlightCount_ = 0;
};

}  // namespace bnch
