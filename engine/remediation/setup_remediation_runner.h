#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "engine/config/product_names.h"
#include "engine/platform/event_stream.h"
#include "engine/platform/file_system_operating.h"
#include "engine/platform/http_fetching.h"
#include "engine/platform/process_running.h"
#include "engine/platform/run_stream_keep_alive.h"
#include "engine/remediation/privileged_executor.h"
#include "engine/remediation/resource_locator.h"
#include "engine/remediation/setup_remediation.h"

namespace bnch {

// What a running remediation tells the screen (or the command line) that watches it.
struct RemediationEvent {
  struct Output {
    std::string text;  // one progress line
    bool operator==(const Output&) const = default;
  };
  struct Completed {
    int32_t exitCode = 0;  // 0 success; -1 the work could not start; else failure
    bool operator==(const Completed&) const = default;
  };
  struct OpenBrowser {
    std::string url;
    std::optional<std::string> code;  // a one-time code to show and copy
    bool operator==(const OpenBrowser&) const = default;
  };
  struct Canceled {
    bool operator==(const Canceled&) const = default;
  };
  std::variant<Output, Completed, OpenBrowser, Canceled> value;

  static RemediationEvent output(std::string text) { return {Output{std::move(text)}}; }
  static RemediationEvent completed(int32_t exitCode) { return {Completed{exitCode}}; }
  static RemediationEvent openBrowser(std::string url, std::optional<std::string> code) {
    return {OpenBrowser{std::move(url), std::move(code)}};
  }
  static RemediationEvent canceled() { return {Canceled{}}; }

  bool isTerminal() const {
    return std::holds_alternative<Completed>(value) || std::holds_alternative<Canceled>(value);
  }
  bool operator==(const RemediationEvent&) const = default;
};

template <>
struct KeepAliveEventTraits<RemediationEvent> {
  static RemediationEvent output(std::string text) { return RemediationEvent::output(std::move(text)); }
  static RemediationEvent completed(int32_t exitCode) { return RemediationEvent::completed(exitCode); }
  static bool isTerminal(const RemediationEvent& event) { return event.isTerminal(); }
};

// Carries out one remediation and streams what happens. The stream ends with
// exactly one completed or one canceled; cancelling (or dropping) it stops the
// work and the processes behind it. `privilegedReason` is the sentence shown in
// the administrator password dialog of the installs that need one.
class RemediationRunning {
 public:
  virtual ~RemediationRunning() = default;
  virtual EventStream<RemediationEvent> run(const SetupRemediation& remediation,
                                            const std::string& privilegedReason) = 0;
};

// The services and settings every remediation job draws on.
struct RemediationServices {
  std::optional<std::string> brewPath;  // absent: Homebrew is not installed
  std::shared_ptr<ProcessRunning> process;
  std::shared_ptr<FileSystemOperating> fs;
  std::shared_ptr<HTTPFetching> http;
  ProductNames product;
  // The environment children start with (the application's own).
  Environment applicationEnvironment;
  PrivilegedExecutor::Options executorOptions;
  ResourceLocator::Options resources;
  std::string adoptiumBaseURL;  // empty: the public Adoptium API
  std::string architecture = "aarch64";
  // How long `brew update` may run before it is stopped.
  double brewUpdateTimeLimitSeconds = 180;
  // Waits up to `seconds`; false when `stop` is signalled first. Injected so tests need not wait.
  std::function<bool(double seconds, const KeepAliveStopSignal& stop)> sleep =
      [](double seconds, const KeepAliveStopSignal& stop) { return stop.waitFor(seconds); };
};

// The live runner: one job per remediation, each on a thread of its own.
class SetupRemediationRunner : public RemediationRunning {
 public:
  using Event = RemediationEvent;

  explicit SetupRemediationRunner(RemediationServices services);

  EventStream<Event> run(const SetupRemediation& remediation, const std::string& privilegedReason) override;

  const RemediationServices& services() const { return *services_; }

  // Blocks until every job this runner started has ended, its clean-up included
  // (a canceled job still removes its temporary files after its stream ended).
  // False when `limit` passed first. Any thread.
  bool waitForJobs(std::chrono::milliseconds limit) const;

 private:
  struct JobCount;

  std::shared_ptr<const RemediationServices> services_;
  std::shared_ptr<JobCount> jobs_;
};

}  // namespace bnch
