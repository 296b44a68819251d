#include "engine/workflow/action_progress_run.h"

#include <exception>
#include <regex>
#include <utility>
#include <variant>

#include "engine/platform/shell_runner.h"
#include "engine/verification/post_install_checker.h"
#include "engine/workflow/spine_render_policy.h"

namespace bnch {

namespace {

constexpr const char* miseFormulaID = "brew:mise";

bool needsMise(const SetupRemediation& remediation) {
  using Kind = SetupRemediation::Kind;
  return remediation.kind == Kind::installNodeViaMise || remediation.kind == Kind::installRubyViaMise ||
         remediation.kind == Kind::installRustViaMise;
}

// A scheme, a colon and no white space: what the browser can be asked to open.
bool isOpenableURL(const std::string& url) {
  static const std::regex shape(R"(^[A-Za-z][A-Za-z0-9+.\-]*:[^\s]+$)");
  return url.size() < 8192 && std::regex_match(url, shape);
}

std::int64_t millisecondsBetween(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

}  // namespace

std::int64_t RemediationAttempts::begin(const std::string& remediationID) {
  std::lock_guard lock(mutex_);
  return ++counts_[remediationID];
}

ActionProgressPlan ActionProgressPlan::of(const PendingInstall& install, const ProductConfig& config) {
  ActionProgressPlan plan{install.remediations, install.continuesPastFailure, config.displayName, {}};
  if (config.spinePolicy) {
    if (config.spinePolicy->privilegedActionReason)
      plan.defaultPrivilegedReason = *config.spinePolicy->privilegedActionReason;
    plan.privilegedReasons = config.spinePolicy->privilegedReasons;
  }
  return plan;
}

std::string ActionProgressPlan::privilegedReasonFor(const std::string& remediationID) const {
  const auto found = privilegedReasons.find(remediationID);
  return found != privilegedReasons.end() ? found->second : defaultPrivilegedReason;
}

std::function<std::optional<std::string>(const PostInstallCheck&)> ActionProgressServices::checkerOver(
    const AppServices& services) {
  return [process = services.processRunner, fs = services.fs](const PostInstallCheck& check) {
    return PostInstallChecker(ShellRunner(process), *fs).check(check);
  };
}

ActionProgressRun::ActionProgressRun(ActionProgressPlan plan, ActionProgressServices services)
    : plan_(std::move(plan)), services_(std::move(services)) {}

std::string ActionProgressRun::skippingLine(const std::string& remediationName) {
  return "Skipping " + remediationName + " — it needs a step that didn't finish.";
}

std::string ActionProgressRun::browserLine(const std::optional<std::string>& code) {
  if (!code) return "Opened your browser — follow the GitHub sign-in there.";
  return "Opened your browser. Your one-time code is " + *code + " (copied to the clipboard) — paste it and authorize.";
}

void ActionProgressRun::track(UsageEvent event) const {
  if (services_.tracker) bnch::track(*services_.tracker, std::move(event));
}

void ActionProgressRun::addLine(std::string line) {
  tail_.push_back(line);
  if (tail_.size() > errorTextLines) tail_.pop_front();
  if (services_.onLine) services_.onLine(line);
}

bool ActionProgressRun::isCanceled() {
  std::lock_guard lock(mutex_);
  return canceled_;
}

void ActionProgressRun::cancel() {
  std::lock_guard lock(mutex_);
  canceled_ = true;
  // EventStream::cancel is safe beside the run thread's next(): it wakes it with the end.
  if (current_) current_->cancel();
}

ActionProgressRun::Result ActionProgressRun::run() {
  using usage_events::RemediationFailureReason;
  Result result;
  std::optional<std::int32_t> failureCode;
  std::set<std::string> failed;

  for (std::size_t index = 0; index < plan_.remediations.size(); ++index) {
    if (isCanceled()) {
      result.canceled = true;
      break;
    }
    const SetupRemediation& remediation = plan_.remediations[index];
    const std::string id = remediation.id();
    if (needsMise(remediation) && failed.count(miseFormulaID)) {
      addLine(skippingLine(remediation.title()));
      track(usage_events::remediationSkipped(id, "prerequisite_failed"));
      continue;
    }

    const std::int64_t attempt = services_.attempts ? services_.attempts->begin(id) : 1;
    track(usage_events::remediationApplied(id, remediation.method(), attempt));
    const auto start = services_.now();
    StepEnd end;
    try {
      end = runOne(remediation);
    } catch (const std::exception& error) {
      // The step's threads could not be started: it never ran.
      addLine(std::string("Couldn't start this step: ") + error.what());
    }
    const std::int64_t durationMs = millisecondsBetween(start, services_.now());

    if (end.ending == Ending::canceled) {
      track(usage_events::remediationCanceled(id, attempt));
      result.canceled = true;
      break;
    }
    if (end.exitCode == 0) {
      const std::optional<std::string> missing =
          services_.postInstallCheck ? services_.postInstallCheck(remediation.postInstallCheck()) : std::nullopt;
      if (missing) {
        // Only reported: the install said it worked, and the person sees no failure.
        track(usage_events::remediationFailed(id, 0, RemediationFailureReason::postcheckFailed, durationMs, *missing,
                                              attempt));
        continue;
      }
      track(usage_events::remediationCompleted(id, 0, durationMs, attempt));
      if (remediation.kind == SetupRemediation::Kind::installClaudeDesktop) {
        track(usage_events::claudeDesktopInstalled());
      } else if (remediation.kind == SetupRemediation::Kind::installClaudeCLI) {
        track(usage_events::claudeCliInstalled());
      } else if (remediation.kind == SetupRemediation::Kind::repairPath) {
        track(usage_events::claudePathRepaired(remediation.directory));
      }
      continue;
    }

    const auto reason =
        end.exitCode == -1 ? RemediationFailureReason::spawnOrKilled : RemediationFailureReason::nonzeroExit;
    const std::vector<std::string> tail(tail_.begin(), tail_.end());
    std::string errorText = redactedErrorText(tail, services_.privateValues, errorTextLines, errorTextCharacters);
    track(usage_events::remediationFailed(id, end.exitCode, reason, durationMs, errorText, attempt));
    result.lastErrorText = std::move(errorText);
    failed.insert(id);
    if (!failureCode) failureCode = end.exitCode;
    if (!plan_.continuesPastFailure) break;
  }
  result.exitCode = failureCode.value_or(0);
  return result;
}

ActionProgressRun::StepEnd ActionProgressRun::runOne(const SetupRemediation& remediation) {
  EventStream<RemediationEvent> stream =
      services_.keepAlive.wrap(services_.runner->run(remediation, plan_.privilegedReasonFor(remediation.id())));
  {
    std::lock_guard lock(mutex_);
    if (canceled_) return {Ending::canceled};
    current_ = &stream;
  }
  // The stream is cancel()'s to stop only while it lives, whichever way this returns.
  struct Unregister {
    ActionProgressRun& run;
    ~Unregister() {
      std::lock_guard lock(run.mutex_);
      run.current_ = nullptr;
    }
  } unregister{*this};
  StepEnd end;
  bool ended = false;
  while (!ended) {
    std::optional<RemediationEvent> event = stream.next();
    if (!event) break;
    std::visit(
        [&](auto& value) {
          using T = std::decay_t<decltype(value)>;
          if constexpr (std::is_same_v<T, RemediationEvent::Output>) {
            addLine(std::move(value.text));
          } else if constexpr (std::is_same_v<T, RemediationEvent::OpenBrowser>) {
            handle(value);
          } else if constexpr (std::is_same_v<T, RemediationEvent::Completed>) {
            end = {Ending::completed, value.exitCode};
            ended = true;
          } else {
            end = {Ending::canceled};
            ended = true;
          }
        },
        event->value);
  }
  // A stream that ended without its last event was stopped by cancel(); one
  // that simply ran dry never got to finish its work.
  if (isCanceled()) end = {Ending::canceled};
  return end;
}

void ActionProgressRun::handle(const RemediationEvent::OpenBrowser& request) {
  if (request.code && services_.copyToClipboard) services_.copyToClipboard(*request.code);
  addLine(browserLine(request.code));
  if (services_.openURL && isOpenableURL(request.url)) services_.openURL(request.url);
}

}  // namespace bnch
