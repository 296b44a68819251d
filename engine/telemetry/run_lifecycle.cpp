#include "engine/telemetry/run_lifecycle.h"

#include "engine/telemetry/usage_events.h"

namespace bnch {

RunLifecycle::RunLifecycle(std::shared_ptr<KeyValueStoring> store, UsageEventTracking& tracker, Clock now,
                           std::function<void()> afterQuitEvent)
    : store_(std::move(store)),
      tracker_(tracker),
      now_(now ? std::move(now) : Clock([] { return std::chrono::steady_clock::now(); })),
      afterQuitEvent_(std::move(afterQuitEvent)),
      launchDate_(now_()),
      currentScreen_([] { return std::string("welcome"); }),
      lastAppearance_(launchDate_) {}

std::int64_t RunLifecycle::wholeSecondsSince(std::chrono::steady_clock::time_point start) const {
  return std::chrono::duration_cast<std::chrono::seconds>(now_() - start).count();
}

std::string RunLifecycle::currentScreenName() const {
  std::function<std::string()> screen;
  {
    std::lock_guard lock(mutex_);
    screen = currentScreen_;
  }
  return screen ? screen() : std::string("welcome");
}

void RunLifecycle::appeared(const std::string& runID, const std::optional<SystemProfile>& profile, bool markRun,
                            std::function<std::string()> currentScreen) {
  std::optional<std::int64_t> reopenGap;
  {
    std::lock_guard lock(mutex_);
    if (currentScreen) currentScreen_ = std::move(currentScreen);
    auto now = now_();
    if (didEmitLaunch_) {
      reopenGap = std::chrono::duration_cast<std::chrono::seconds>(now - lastAppearance_).count();
    } else {
      didEmitLaunch_ = true;
    }
    lastAppearance_ = now;
  }
  // The screen function is the caller's; it runs outside the lock.
  if (reopenGap) {
    track(tracker_, usage_events::appReopened(*reopenGap, currentScreenName()));
    return;
  }
  track(tracker_, usage_events::appLaunched(profile));
  if (markRun) startRun(runID);
}

void RunLifecycle::startRun(const std::string& runID) {
  auto previous = store_->string(runInProgressKey);
  if (previous && !previous->empty() && *previous != runID) {
    track(tracker_, usage_events::previousRunUnclean(*previous));
  }
  store_->set(StoredValue(runID), runInProgressKey);
  std::lock_guard lock(mutex_);
  didRegisterObserver_ = true;
}

bool RunLifecycle::observersRegistered() const {
  std::lock_guard lock(mutex_);
  return didRegisterObserver_;
}

void RunLifecycle::willTerminate() {
  {
    std::lock_guard lock(mutex_);
    if (!didRegisterObserver_ || didQuit_) return;
    didQuit_ = true;
  }
  store_->set(std::nullopt, runInProgressKey);
  track(tracker_, usage_events::appQuit(currentScreenName(), wholeSecondsSince(launchDate_)));
  if (afterQuitEvent_) afterQuitEvent_();
}

void RunLifecycle::windowWillClose(bool isSheet, bool hasParent, bool canBecomeMain) {
  if (isSheet || hasParent || !canBecomeMain) return;
  {
    std::lock_guard lock(mutex_);
    if (!didRegisterObserver_ || didEmitWindowClosed_) return;
    didEmitWindowClosed_ = true;
  }
  track(tracker_, usage_events::windowClosed(currentScreenName(), wholeSecondsSince(launchDate_)));
}

void RunLifecycle::beginInstall() {
  std::lock_guard lock(mutex_);
  ++inFlightCount_;
}

void RunLifecycle::endInstall() {
  std::lock_guard lock(mutex_);
  if (inFlightCount_ > 0) --inFlightCount_;
}

int RunLifecycle::inFlightCount() const {
  std::lock_guard lock(mutex_);
  return inFlightCount_;
}

QuitDecision RunLifecycle::shouldTerminate() const {
  if (inFlightCount() == 0) return QuitDecision{};
  return QuitDecision{
      .terminate = false,
      .messageText = quitAlertMessage,
      .informativeText = quitAlertInformative,
      .buttonTitle = quitAlertButton,
  };
}

bool RunLifecycle::shouldTerminateAfterLastWindowClosed() const { return inFlightCount() == 0; }

}  // namespace bnch
