#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/platform/app_services.h"
#include "engine/platform/event_stream.h"
#include "engine/platform/run_stream_keep_alive.h"
#include "engine/remediation/setup_remediation.h"
#include "engine/remediation/setup_remediation_runner.h"
#include "engine/telemetry/error_text_redaction.h"
#include "engine/telemetry/usage_event_tracking.h"
#include "engine/telemetry/usage_events.h"
#include "engine/workflow/flow_step.h"
#include "engine/workflow/product_config.h"

namespace bnch {

// How often each remediation has been started in this process: the first run of
// an identifier is attempt 1, a retry attempt 2, and so on. One instance lives
// for the whole process and is shared by every progress run. Thread-safe.
class RemediationAttempts {
 public:
  // Counts one more attempt of the identifier and returns its number.
  std::int64_t begin(const std::string& remediationID);

 private:
  std::mutex mutex_;
  std::map<std::string, std::int64_t> counts_;
};

// What one approved action runs: its remediations in order, whether later ones
// still run after one fails, and the sentences shown in the administrator
// password dialog.
struct ActionProgressPlan {
  std::vector<SetupRemediation> remediations;
  bool continuesPastFailure = false;
  std::string defaultPrivilegedReason;
  std::map<std::string, std::string> privilegedReasons;  // by remediation identifier

  // The pending install with the product's reasons: the render policy's entry
  // for the remediation, else its general reason, else the product's name.
  static ActionProgressPlan of(const PendingInstall& install, const ProductConfig& config);
  std::string privilegedReasonFor(const std::string& remediationID) const;
};

// What a progress run reaches outside itself. Every function is called on the
// run's own thread.
struct ActionProgressServices {
  std::shared_ptr<RemediationRunning> runner;
  std::shared_ptr<UsageEventTracking> tracker;
  std::shared_ptr<RemediationAttempts> attempts;
  // Nothing when the check passed, else the sentence saying what is missing.
  // Empty: every check passes.
  std::function<std::optional<std::string>(const PostInstallCheck&)> postInstallCheck;
  // Heartbeats after 15 s of silence, a stop after 20 minutes from the step's start.
  RunStreamKeepAlive keepAlive = RunStreamKeepAlive::progressScreen();
  // The clock behind the durations reported in events.
  std::function<std::chrono::steady_clock::time_point()> now = [] { return std::chrono::steady_clock::now(); };
  // What the failure text must not carry beyond the usual shapes.
  PrivateValues privateValues;
  // Each progress line for the screen, in order.
  std::function<void(const std::string& line)> onLine;
  // The desktop: put a one-time code on the clipboard, open an address in the browser.
  std::function<void(const std::string& text)> copyToClipboard;
  std::function<void(const std::string& url)> openURL;

  // A post-install check over the services' login shell and file system.
  static std::function<std::optional<std::string>(const PostInstallCheck&)> checkerOver(const AppServices& services);
};

// Runs one approved action on the progress screen: each remediation in order
// through the runner, wrapped in the keep-alive, its lines passed on, each
// success checked after the fact, and every start, success, failure, skip and
// cancel sent as a usage event with its attempt number.
//
// run() blocks until the action has ended and is called once, off the GUI
// thread. cancel() may be called from any thread at any time: the remediation
// in flight is stopped (its stream canceled, which ends its process), it is
// reported as canceled, and run() returns at once without starting another.
// Failures are values: a remediation that could not start, exited non-zero or
// ran past the time limit fails with its own reason and a redacted tail of the
// output; run() itself never throws.
class ActionProgressRun {
 public:
  static constexpr const char* statusLine = "Working… this can take a minute — please keep this window open.";
  static constexpr std::size_t errorTextLines = 8;
  static constexpr std::size_t errorTextCharacters = 600;

  struct Result {
    std::int32_t exitCode = 0;  // the first failing remediation's code, else 0
    bool canceled = false;
    std::optional<std::string> lastErrorText;  // the last failure's redacted output tail
    bool operator==(const Result&) const = default;
  };

  ActionProgressRun(ActionProgressPlan plan, ActionProgressServices services);
  ActionProgressRun(const ActionProgressRun&) = delete;
  ActionProgressRun& operator=(const ActionProgressRun&) = delete;

  Result run();
  void cancel();

  static std::string skippingLine(const std::string& remediationName);
  static std::string browserLine(const std::optional<std::string>& code);

 private:
  enum class Ending { completed, canceled };
  struct StepEnd {
    Ending ending = Ending::completed;
    std::int32_t exitCode = -1;
  };

  StepEnd runOne(const SetupRemediation& remediation);
  void handle(const RemediationEvent::OpenBrowser& request);
  void addLine(std::string line);
  bool isCanceled();
  void track(UsageEvent event) const;

  ActionProgressPlan plan_;
  ActionProgressServices services_;
  std::deque<std::string> tail_;  // the last lines, for the failure text (run thread only)

  std::mutex mutex_;
  bool canceled_ = false;
  EventStream<RemediationEvent>* current_ = nullptr;  // the stream being read, while it is
};

}  // namespace bnch
