#include "tests/support/scripted_process_runner.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "engine/platform/shell_runner.h"
#include "engine/platform/text.h"

namespace bnch {
namespace {

void quoted(const std::string& text, std::ostream* out) {
  *out << '"';
  for (const char c : text) {
    if (c == '\n') {
      *out << "\\n";
    } else if (c == '\r') {
      *out << "\\r";
    } else if (c == '"' || c == '\\') {
      *out << '\\' << c;
    } else {
      *out << c;
    }
  }
  *out << '"';
}

}  // namespace

void PrintTo(const ProcessRequest& request, std::ostream* out) {
  quoted(request.executable, out);
  for (const auto& argument : request.arguments) {
    *out << ' ';
    quoted(argument, out);
  }
  if (request.environment) *out << " (environment of " << request.environment->size() << ")";
}

void PrintTo(const ProcessResult& result, std::ostream* out) {
  *out << "{exit " << result.exitCode << ", stdout ";
  quoted(result.stdOut, out);
  *out << ", stderr ";
  quoted(result.stdErr, out);
  *out << '}';
}

void PrintTo(const ProcessStreamEvent& event, std::ostream* out) {
  if (const auto* line = std::get_if<ProcessStreamEvent::Line>(&event.value)) {
    *out << "line ";
    quoted(line->text, out);
  } else if (const auto* exited = std::get_if<ProcessStreamEvent::Exited>(&event.value)) {
    *out << "exited " << exited->code;
  } else if (const auto* failed = std::get_if<ProcessStreamEvent::FailedToStart>(&event.value)) {
    *out << "failedToStart ";
    quoted(failed->message, out);
  }
}

void PrintTo(const StreamEvent& event, std::ostream* out) {
  if (const auto* output = std::get_if<StreamEvent::Output>(&event.value)) {
    *out << "output ";
    quoted(output->text, out);
  } else if (const auto* completed = std::get_if<StreamEvent::Completed>(&event.value)) {
    *out << "completed " << completed->exitCode;
  } else {
    *out << "canceled";
  }
}

void PrintTo(const ShellOutput& output, std::ostream* out) {
  *out << "{exit " << output.exitCode << ", output ";
  quoted(output.output, out);
  *out << '}';
}

}  // namespace bnch

namespace bnch::testing {
namespace {

constexpr int32_t kTerminatedExitCode = 128 + 15;  // what SIGTERM gives

std::string markerPrefix() { return "echo " + std::string(ShellRunner::outputMarker) + "; "; }

// Lines as the live runner yields them: split at every line break (CRLF counts
// once), empty lines kept, no empty line after a final terminator.
std::vector<ScriptedLine> splitLines(std::string_view text) {
  std::vector<ScriptedLine> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (const std::size_t length = lineBreakLength(text, i)) {
      lines.push_back({std::string(text.substr(start, i - start)), {}});
      i += length;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.push_back({std::string(text.substr(start)), {}});
  return lines;
}

}  // namespace

// ---- ScriptedReply ----------------------------------------------------------

ScriptedReply ScriptedReply::prints(std::string stdOut, int32_t exitCode) {
  ScriptedReply reply;
  reply.stdOut = std::move(stdOut);
  reply.exitCode = exitCode;
  return reply;
}

ScriptedReply ScriptedReply::exits(int32_t exitCode) {
  ScriptedReply reply;
  reply.exitCode = exitCode;
  return reply;
}

ScriptedReply ScriptedReply::streams(std::vector<std::string> lines, int32_t exitCode) {
  return exits(exitCode).withLines(std::move(lines));
}

ScriptedReply ScriptedReply::streamsSlowly(std::vector<ScriptedLine> lines, int32_t exitCode) {
  ScriptedReply reply = exits(exitCode);
  reply.lines = std::move(lines);
  return reply;
}

ScriptedReply ScriptedReply::failsToStart(std::string message) {
  ScriptedReply reply = exits(-1);
  reply.launchFailure = std::move(message);
  return reply;
}

ScriptedReply ScriptedReply::hangs(std::vector<std::string> linesFirst) {
  ScriptedReply reply = streams(std::move(linesFirst), kTerminatedExitCode);
  reply.hangsUntilCanceled = true;
  return reply;
}

ScriptedReply ScriptedReply::withStdout(std::string text) const {
  ScriptedReply copy = *this;
  copy.stdOut = std::move(text);
  return copy;
}

ScriptedReply ScriptedReply::withStderr(std::string text) const {
  ScriptedReply copy = *this;
  copy.stdErr = std::move(text);
  return copy;
}

ScriptedReply ScriptedReply::withExitCode(int32_t code) const {
  ScriptedReply copy = *this;
  copy.exitCode = code;
  return copy;
}

ScriptedReply ScriptedReply::withLines(std::vector<std::string> lines) const {
  ScriptedReply copy = *this;
  copy.lines.emplace();
  for (auto& line : lines) copy.lines->push_back({std::move(line), {}});
  return copy;
}

ScriptedReply ScriptedReply::afterDelay(std::chrono::milliseconds delay) const {
  ScriptedReply copy = *this;
  copy.runDelay = delay;
  return copy;
}

ScriptedReply ScriptedReply::then(std::function<void(const ProcessRequest&)> effect) const {
  ScriptedReply copy = *this;
  copy.sideEffect = std::move(effect);
  return copy;
}

// ---- internals ----------------------------------------------------------------

// A scripted child: running until its script ends or it is terminated.
class ScriptedProcessRunner::Process final : public RunningProcess {
 public:
  bool isRunning() const override {
    std::lock_guard lock(mutex_);
    return running_;
  }
  void terminate() override {
    {
      std::lock_guard lock(mutex_);
      if (!running_) return;
      terminated_ = true;
    }
    changed_.notify_all();
  }
  bool wasTerminated() const {
    std::lock_guard lock(mutex_);
    return terminated_;
  }
  // Waits up to `duration` (forever when absent); true when terminated.
  bool waitForTermination(std::optional<std::chrono::milliseconds> duration) const {
    std::unique_lock lock(mutex_);
    if (!duration) {
      changed_.wait(lock, [&] { return terminated_; });
      return true;
    }
    return changed_.wait_for(lock, *duration, [&] { return terminated_; });
  }
  void exit() {
    std::lock_guard lock(mutex_);
    running_ = false;
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool running_ = true;
  bool terminated_ = false;
};

struct ScriptedProcessRunner::Rule {
  Matcher matches;
  std::vector<Handler> replies;  // in order; the last repeats
  std::size_t next = 0;
  bool shellConvention = false;
};

// What one request gets, with the login shell's own output already added.
struct ScriptedProcessRunner::Answer {
  ScriptedReply reply;
  std::string stdOut;               // what run() returns on standard output
  std::vector<ScriptedLine> lines;  // what stream() yields before exiting
};

void ScriptedProcessRunner::addRule(Rule rule) {
  std::lock_guard lock(mutex_);
  rules_.push_back(std::make_shared<Rule>(std::move(rule)));
}

std::optional<std::string> ScriptedProcessRunner::shellCommandOf(const ProcessRequest& request) {
  return ShellRunner::commandLineOf(request);
}

ScriptedProcessRunner::Answer ScriptedProcessRunner::answerFor(const ProcessRequest& request, CallKind kind,
                                                               std::shared_ptr<Process> process) {
  Handler handler;
  bool shellConvention = false;
  bool answered = true;
  std::string preamble;
  {
    std::lock_guard lock(mutex_);
    std::shared_ptr<Rule> rule;
    for (auto it = rules_.rbegin(); it != rules_.rend(); ++it) {
      if ((*it)->matches(request)) {
        rule = *it;
        break;
      }
    }
    if (!rule) {
      answered = false;
      rule = fallback_;
    }
    if (rule) {
      handler = rule->replies[std::min(rule->next, rule->replies.size() - 1)];
      ++rule->next;
      shellConvention = rule->shellConvention;
    }
    preamble = shellPreamble_;
    records_.push_back({ScriptedCall{request, kind, answered, false}, std::move(process)});
  }
  changed_.notify_all();

  // Handlers run outside the lock: they may look at the log themselves.
  Answer answer;
  answer.reply = handler ? handler(request) : ScriptedReply::failsToStart();
  std::string shellOutput;
  // A new Terminal window's shell frames the reply between the output marker
  // and the end marker with the status, and exits 0 itself.
  const bool terminal = shellConvention && request.arguments[0] == "-ilc";
  if (shellConvention) {
    shellOutput = preamble;
    if (terminal || request.arguments[1].starts_with(markerPrefix())) {
      shellOutput += std::string(ShellRunner::outputMarker) + "\n";
    }
  }
  answer.stdOut = shellOutput + answer.reply.stdOut;
  answer.lines = splitLines(shellOutput);
  if (answer.reply.lines) {
    answer.lines.insert(answer.lines.end(), answer.reply.lines->begin(), answer.reply.lines->end());
  } else {
    for (auto& line : splitLines(answer.reply.stdOut)) answer.lines.push_back(std::move(line));
    for (auto& line : splitLines(answer.reply.stdErr)) answer.lines.push_back(std::move(line));
  }
  if (terminal && !answer.reply.hangsUntilCanceled && !answer.reply.launchFailure) {
    const std::string end = std::string(ShellRunner::endMarker) + std::to_string(answer.reply.exitCode);
    if (!answer.stdOut.empty() && answer.stdOut.back() != '\n') answer.stdOut += '\n';
    answer.stdOut += end + "\n";
    answer.lines.push_back({end});
    answer.reply.exitCode = 0;
  }
  return answer;
}

// ---- ScriptedProcessRunner ------------------------------------------------------

ScriptedProcessRunner::~ScriptedProcessRunner() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    shuttingDown_ = true;
    for (auto& record : records_) {
      if (record.process) record.process->terminate();
    }
    threads = std::move(threads_);
  }
  changed_.notify_all();
  for (auto& thread : threads) thread.join();
}

void ScriptedProcessRunner::answer(const std::string& executable, const std::vector<std::string>& arguments,
                                   ScriptedReply reply) {
  answerInOrder(executable, arguments, {std::move(reply)});
}

void ScriptedProcessRunner::answerInOrder(const std::string& executable, const std::vector<std::string>& arguments,
                                          std::vector<ScriptedReply> replies) {
  Rule rule;
  rule.matches = [executable, arguments](const ProcessRequest& request) {
    return request.executable == executable && request.arguments == arguments;
  };
  for (auto& reply : replies) rule.replies.push_back([reply](const ProcessRequest&) { return reply; });
  if (rule.replies.empty()) rule.replies.push_back([](const ProcessRequest&) { return ScriptedReply{}; });
  addRule(std::move(rule));
}

void ScriptedProcessRunner::answerWhen(Matcher matches, ScriptedReply reply) {
  answerWith(std::move(matches), [reply](const ProcessRequest&) { return reply; });
}

void ScriptedProcessRunner::answerWith(Matcher matches, Handler handler) {
  Rule rule;
  rule.matches = std::move(matches);
  rule.replies.push_back(std::move(handler));
  addRule(std::move(rule));
}

void ScriptedProcessRunner::answerShell(const std::string& command, ScriptedReply reply) {
  answerShellInOrder(command, {std::move(reply)});
}

void ScriptedProcessRunner::answerShellInOrder(const std::string& command, std::vector<ScriptedReply> replies) {
  Rule rule;
  rule.matches = [command](const ProcessRequest& request) { return shellCommandOf(request) == command; };
  for (auto& reply : replies) rule.replies.push_back([reply](const ProcessRequest&) { return reply; });
  if (rule.replies.empty()) rule.replies.push_back([](const ProcessRequest&) { return ScriptedReply{}; });
  rule.shellConvention = true;
  addRule(std::move(rule));
}

void ScriptedProcessRunner::answerShellWhen(std::function<bool(const std::string& command)> matches,
                                            ScriptedReply reply) {
  answerShellWith(std::move(matches), [reply](const std::string&) { return reply; });
}

void ScriptedProcessRunner::answerShellWith(std::function<bool(const std::string& command)> matches,
                                            std::function<ScriptedReply(const std::string& command)> handler) {
  Rule rule;
  rule.matches = [matches = std::move(matches)](const ProcessRequest& request) {
    const auto command = shellCommandOf(request);
    return command && matches(*command);
  };
  rule.replies.push_back(
      [handler = std::move(handler)](const ProcessRequest& request) { return handler(*shellCommandOf(request)); });
  rule.shellConvention = true;
  addRule(std::move(rule));
}

void ScriptedProcessRunner::setShellPreamble(std::string text) {
  std::lock_guard lock(mutex_);
  shellPreamble_ = std::move(text);
}

void ScriptedProcessRunner::setFallback(ScriptedReply reply) {
  auto rule = std::make_shared<Rule>();
  rule->matches = [](const ProcessRequest&) { return true; };
  rule->replies.push_back([reply](const ProcessRequest&) { return reply; });
  std::lock_guard lock(mutex_);
  fallback_ = std::move(rule);
}

void ScriptedProcessRunner::releaseHangingRuns() {
  {
    std::lock_guard lock(mutex_);
    runsReleased_ = true;
  }
  changed_.notify_all();
}

ProcessResult ScriptedProcessRunner::run(const ProcessRequest& request) {
  const Answer answer = answerFor(request, CallKind::run, nullptr);
  const ScriptedReply& reply = answer.reply;
  if (reply.launchFailure) throw ProcessLaunchError(*reply.launchFailure);
  if (reply.sideEffect) reply.sideEffect(request);
  if (reply.runDelay.count() > 0) std::this_thread::sleep_for(reply.runDelay);
  if (reply.hangsUntilCanceled) {
    // A hanging program with a time limit is stopped there: at once, in a fake.
    if (request.timeLimit) return ProcessResult{kTerminatedExitCode, answer.stdOut, "", true};
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return runsReleased_ || shuttingDown_; });
  }
  return ProcessResult{reply.exitCode, answer.stdOut, reply.stdErr};
}

void ScriptedProcessRunner::playStream(const Answer& answer, const std::shared_ptr<Process>& process,
                                       const EventStream<ProcessStreamEvent>::Continuation& continuation) const {
  const auto end = [&](int32_t code) {
    process->exit();
    continuation.yield(ProcessStreamEvent::exited(code));
    continuation.finish();
  };
  for (const auto& line : answer.lines) {
    if (line.delay.count() > 0 ? process->waitForTermination(line.delay) : process->wasTerminated()) {
      return end(kTerminatedExitCode);
    }
    continuation.yield(ProcessStreamEvent::line(line.text));
  }
  if (answer.reply.hangsUntilCanceled) {
    process->waitForTermination(std::nullopt);
    return end(kTerminatedExitCode);
  }
  end(process->wasTerminated() ? kTerminatedExitCode : answer.reply.exitCode);
}

EventStream<ProcessStreamEvent> ScriptedProcessRunner::stream(const ProcessRequest& request,
                                                              std::shared_ptr<LiveProcessCancellation> cancellation) {
  auto [events, continuation] = EventStream<ProcessStreamEvent>::make();
  auto process = std::make_shared<Process>();
  Answer answer = answerFor(request, CallKind::stream, process);
  if (answer.reply.launchFailure) {
    process->exit();
    continuation.yield(ProcessStreamEvent::failedToStart(*answer.reply.launchFailure));
    continuation.finish();
    return std::move(events);
  }
  if (answer.reply.sideEffect) answer.reply.sideEffect(request);
  if (cancellation) cancellation->attach(process);
  continuation.onTermination([cancellation, process](StreamTermination why) {
    if (why != StreamTermination::canceled) return;
    if (cancellation) {
      cancellation->cancel();
    } else {
      process->terminate();
    }
  });

  const bool paced =
      answer.reply.hangsUntilCanceled || std::any_of(answer.lines.begin(), answer.lines.end(),
                                                     [](const ScriptedLine& line) { return line.delay.count() > 0; });
  if (!paced) {
    playStream(answer, process, continuation);
  } else {
    std::lock_guard lock(mutex_);
    threads_.emplace_back([this, answer = std::move(answer), process, continuation = continuation] {
      playStream(answer, process, continuation);
    });
  }
  return std::move(events);
}

// ---- the log ----------------------------------------------------------------------

std::vector<ScriptedCall> ScriptedProcessRunner::calls() const {
  std::lock_guard lock(mutex_);
  std::vector<ScriptedCall> calls;
  for (const auto& record : records_) {
    ScriptedCall call = record.call;
    call.terminated = record.process && record.process->wasTerminated();
    calls.push_back(std::move(call));
  }
  return calls;
}

std::vector<ProcessRequest> ScriptedProcessRunner::requests() const {
  std::lock_guard lock(mutex_);
  std::vector<ProcessRequest> requests;
  for (const auto& record : records_) requests.push_back(record.call.request);
  return requests;
}

std::vector<ProcessRequest> ScriptedProcessRunner::unanswered() const {
  std::lock_guard lock(mutex_);
  std::vector<ProcessRequest> requests;
  for (const auto& record : records_) {
    if (!record.call.answered) requests.push_back(record.call.request);
  }
  return requests;
}

std::vector<std::string> ScriptedProcessRunner::shellCommands() const {
  std::vector<std::string> commands;
  for (const auto& request : requests()) {
    if (auto command = shellCommandOf(request)) commands.push_back(std::move(*command));
  }
  return commands;
}

std::size_t ScriptedProcessRunner::count(const std::string& executable,
                                         const std::vector<std::string>& arguments) const {
  const auto all = requests();
  return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [&](const ProcessRequest& request) {
    return request.executable == executable && request.arguments == arguments;
  }));
}

std::size_t ScriptedProcessRunner::shellCount(const std::string& command) const {
  const auto all = shellCommands();
  return static_cast<std::size_t>(std::count(all.begin(), all.end(), command));
}

bool ScriptedProcessRunner::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return records_.size() >= count; });
}

}  // namespace bnch::testing
