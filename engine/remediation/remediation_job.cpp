#include "engine/remediation/remediation_job.h"

#include <utility>
#include <variant>

#include "engine/remediation/runner_text.h"

namespace bnch {

RemediationJob::RemediationJob(std::shared_ptr<const RemediationServices> services,
                               EventStream<RemediationEvent>::Continuation out, std::string privilegedReason,
                               std::shared_ptr<CancellableProcess> cancellable)
    : services_(std::move(services)),
      out_(std::move(out)),
      privilegedReason_(std::move(privilegedReason)),
      cancellable_(std::move(cancellable)) {}

bool RemediationJob::isCanceled() const { return out_.isCanceled() || cancellable_->isCanceled(); }

void RemediationJob::output(std::string line) const { out_.yield(RemediationEvent::output(std::move(line))); }

void RemediationJob::openBrowser(std::string url, std::optional<std::string> code) const {
  out_.yield(RemediationEvent::openBrowser(std::move(url), std::move(code)));
}

void RemediationJob::complete(int32_t exitCode) const {
  if (ended_.exchange(true)) return;
  out_.yield(RemediationEvent::completed(exitCode));
  out_.finish();
}

void RemediationJob::canceled() const {
  if (ended_.exchange(true)) return;
  out_.yield(RemediationEvent::canceled());
  out_.finish();
}

void RemediationJob::finishWith(const WriterReport& report) const {
  for (const auto& line : report.lines) output(line);
  complete(report.succeeded ? 0 : 1);
}

void RemediationJob::forward(EventStream<StreamEvent> stream) const {
  while (auto event = stream.next()) {
    if (const auto* line = std::get_if<StreamEvent::Output>(&event->value)) {
      output(line->text);
    } else if (const auto* done = std::get_if<StreamEvent::Completed>(&event->value)) {
      complete(done->exitCode);
      return;
    } else {
      canceled();
      return;
    }
  }
  // The component's stream ended without a terminal event: only a cancel does that.
  canceled();
}

bool RemediationJob::endIfHomebrewMissing() const {
  if (services_->brewPath) return false;
  output(std::string(RunnerText::homebrewMissing));
  complete(-1);
  return true;
}

std::optional<int32_t> RemediationJob::installFormula(const std::string& name) const {
  if (!services_->brewPath) {
    output(std::string(RunnerText::homebrewMissing));
    return -1;
  }
  return relay(brewRunner().installFormula(name, cancellable_));
}

std::optional<int32_t> RemediationJob::relay(EventStream<StreamEvent> stream) const {
  int32_t code = -1;
  while (auto event = stream.next()) {
    if (const auto* line = std::get_if<StreamEvent::Output>(&event->value)) {
      output(line->text);
    } else if (const auto* done = std::get_if<StreamEvent::Completed>(&event->value)) {
      code = done->exitCode;
    } else {
      return std::nullopt;
    }
  }
  if (isCanceled()) return std::nullopt;
  return code;
}

int32_t RemediationJob::runLoginShell(const std::string& command,
                                      const std::function<void(const std::string& line)>& eachLine) const {
  auto cancellation = std::make_shared<LiveProcessCancellation>();
  cancellable_->setCurrent(cancellation);
  ProcessRequest request{.executable = "/bin/zsh",
                         .arguments = {"-lc", command},
                         .environment = services_->applicationEnvironment,
                         .newSession = true};
  const ProcessOutcome outcome = forwardProcess(services_->process->stream(request, cancellation), eachLine);
  if (outcome.failedToStart) {
    output(std::string(RunnerText::failedToStartPrefix) + *outcome.failedToStart);
    return -1;
  }
  if (cancellation->isCanceled()) return -1;
  return outcome.exitCode;
}

RemediationJob::ProcessOutcome RemediationJob::forwardProcess(
    EventStream<ProcessStreamEvent> stream, const std::function<void(const std::string& line)>& eachLine) const {
  ProcessOutcome outcome;
  while (auto event = stream.next()) {
    if (const auto* line = std::get_if<ProcessStreamEvent::Line>(&event->value)) {
      output(line->text);
      if (eachLine) eachLine(line->text);
    } else if (const auto* exited = std::get_if<ProcessStreamEvent::Exited>(&event->value)) {
      outcome.exitCode = exited->code;
    } else if (const auto* failed = std::get_if<ProcessStreamEvent::FailedToStart>(&event->value)) {
      outcome.failedToStart = failed->message;
    }
  }
  return outcome;
}

PrivilegedExecutor RemediationJob::privilegedExecutor() const {
  return PrivilegedExecutor(services_->fs, services_->executorOptions);
}

AdoptiumAPI RemediationJob::adoptium() const {
  if (services_->adoptiumBaseURL.empty()) return AdoptiumAPI(services_->http);
  return AdoptiumAPI(services_->http, services_->adoptiumBaseURL);
}

BrewRunner RemediationJob::brewRunner() const {
  BrewRunner::Options options{.applicationEnvironment = services_->applicationEnvironment,
                              .config = services_->product,
                              .architecture = services_->architecture,
                              .sleep = services_->sleep};
  return BrewRunner(services_->brewPath.value_or(""), services_->process, services_->http, services_->fs,
                    privilegedExecutor(), adoptium(), std::move(options));
}

}  // namespace bnch
