#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <variant>

#include "engine/platform/app_services.h"
#include "engine/platform/live_process_runner.h"
#include "engine/platform/process_environment.h"
#include "engine/platform/run_stream_keep_alive.h"
#include "engine/platform/shell_runner.h"
#include "engine/product/python_product.h"
#include "engine/remediation/homebrew_index_freshness.h"
#include "engine/remediation/setup_remediation_runner.h"
#include "engine/verification/post_install_checker.h"
#include "engine/workflow/product_config.h"
#include "engine/workflow/spine_render_policy.h"
#include "tools/benchkit-doctor/apply_arguments.h"
#include "tools/benchkit-doctor/commands.h"

namespace bnch::doctor {

namespace {

constexpr int kCanceledExitCode = 130;
constexpr const char* kUsage =
    "usage: benchkit-doctor apply --list\n"
    "       benchkit-doctor apply ID [--yes]\n"
    "       benchkit-doctor apply mcp:SLUG [--yes] [--api-key-stdin]   (or BNCH_MCP_API_KEY)\n"
    "       benchkit-doctor apply git:config --name NAME --email EMAIL [--yes]\n";

// What a termination signal reaches: the running remediation's cancel, while one runs.
struct Interrupt {
  std::mutex mutex;
  std::function<void()> cancelRun;
  bool received = false;
};

Interrupt& interrupt() {
  static Interrupt* shared = new Interrupt;  // used by the signal thread until the process ends
  return *shared;
}

bool interrupted() {
  std::lock_guard lock(interrupt().mutex);
  return interrupt().received;
}

// Runs `cancel` on the first termination signal for as long as the guard lives.
class CancelOnInterrupt {
 public:
  explicit CancelOnInterrupt(std::function<void()> cancel) {
    bool already = false;
    {
      std::lock_guard lock(interrupt().mutex);
      interrupt().cancelRun = cancel;
      already = interrupt().received;
    }
    if (already) cancel();
  }
  ~CancelOnInterrupt() {
    std::lock_guard lock(interrupt().mutex);
    interrupt().cancelRun = nullptr;
  }
  CancelOnInterrupt(const CancelOnInterrupt&) = delete;
  CancelOnInterrupt& operator=(const CancelOnInterrupt&) = delete;
};

std::optional<std::string> environmentValue(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] == '\0') return std::nullopt;
  return std::string(value);
}

// One line of standard input without its line end; nothing at end of input.
std::optional<std::string> readLine() {
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// A line typed without echo when standard input is a terminal.
std::optional<std::string> readSecretLine(const std::string& prompt) {
  termios saved{};
  const bool terminal = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    std::fprintf(stderr, "%s", prompt.c_str());
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::optional<std::string> line = readLine();
  if (terminal) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::fprintf(stderr, "\n");
  }
  return line;
}

// Shows what will change and asks; true when the person agreed.
bool confirmed(const SetupRemediation& remediation) {
  std::printf("%s\n\n%s\n\nGo ahead? [y/N] ", remediation.title().c_str(), remediation.detail().c_str());
  std::fflush(stdout);
  const std::optional<std::string> answer = readLine();
  return answer && (*answer == "y" || *answer == "Y" || *answer == "yes" || *answer == "Yes");
}

std::string privilegedReasonFor(const ProductConfig& config, const std::string& id) {
  const SpineRenderPolicy& policy = *config.spinePolicy;
  if (auto found = policy.privilegedReasons.find(id); found != policy.privilegedReasons.end()) return found->second;
  return policy.privilegedActionReason.value_or(config.displayName);
}

RemediationServices remediationServices(const AppServices& services, const ProductConfig& config,
                                        const SystemProfile& profile) {
  return RemediationServices{
      .brewPath = profile.homebrewPrefix,
      .process = services.processRunner,
      .fs = services.fs,
      .http = services.http,
      .product = static_cast<const ProductNames&>(config),
      .applicationEnvironment = processEnvironment(),
      .executorOptions = PrivilegedExecutor::Options::fromProcess(config.displayName),
      .resources = {},
      .adoptiumBaseURL = environmentValue("BNCH_ADOPTIUM_BASE_URL").value_or(""),
      .architecture = profile.architecture == Architecture::intel ? "x64" : "aarch64",
  };
}

// The progress screen's keep-alive; BNCH_STEP_TIME_LIMIT_SECONDS shortens its limit.
RunStreamKeepAlive keepAlive() {
  RunStreamKeepAlive settings = RunStreamKeepAlive::progressScreen();
  if (auto limit = environmentValue("BNCH_STEP_TIME_LIMIT_SECONDS")) {
    char* end = nullptr;
    const double seconds = std::strtod(limit->c_str(), &end);
    if (end != limit->c_str() && *end == '\0' && seconds > 0) settings.timeout = seconds;
  }
  return settings;
}

struct RunOutcome {
  std::optional<int32_t> exitCode;  // absent: canceled (or ended without a result)
};

RunOutcome printEvents(EventStream<RemediationEvent>& events) {
  RunOutcome outcome;
  while (auto event = events.next()) {
    if (const auto* line = std::get_if<RemediationEvent::Output>(&event->value)) {
      std::printf("%s\n", line->text.c_str());
    } else if (const auto* browser = std::get_if<RemediationEvent::OpenBrowser>(&event->value)) {
      std::printf("Open this address in your browser: %s\n", browser->url.c_str());
      if (browser->code) std::printf("Your one-time code: %s\n", browser->code->c_str());
    } else if (const auto* done = std::get_if<RemediationEvent::Completed>(&event->value)) {
      outcome.exitCode = done->exitCode;
    }
    std::fflush(stdout);
  }
  return outcome;
}

}  // namespace

void cancelRemediationsOnTerminationSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, sig);
  if (::pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return;
  std::thread([signals] {
    for (;;) {
      int received = 0;
      if (::sigwait(&signals, &received) != 0) continue;
      std::function<void()> cancel;
      {
        std::lock_guard lock(interrupt().mutex);
        if (!interrupt().received) cancel = interrupt().cancelRun;
        interrupt().received = true;
      }
      // A running remediation is canceled and the main thread waits for its clean-up.
      if (cancel) {
        cancel();
        continue;
      }
      // Nothing to wait for, or asked a second time: stop every child and leave.
      endAllChildProcessGroups(std::chrono::seconds(2));
      std::_Exit(kCanceledExitCode);
    }
  }).detach();
}

// Runs one remediation of the catalogue with the live services, as the progress
// screen does: asks first (unless --yes), prints every line as it arrives, keeps
// the step alive with heartbeats and stops it at the time limit, then runs the
// post-install check. Exit code: the remediation's; 130 when canceled (Ctrl-C,
// SIGTERM); 2 for bad arguments or a confirmation that cannot be asked.
int applyCommand(const Arguments& arguments) {
  ProductConfig::setCurrent(pythonProduct());
  const ProductConfig config = ProductConfig::current();
  const AppServices& services = AppServices::live();
  ApplyContext context{.home = services.fs->homeDirectory()};
  ApplyArguments parsed;
  try {
    parsed = parseApplyArguments(arguments, context);
  } catch (const ApplyUsageError& error) {
    std::fprintf(stderr, "benchkit-doctor apply: %s\n%s", error.what(), kUsage);
    return 2;
  }
  if (parsed.list) {
    for (const ApplyCatalogueEntry& entry : applyCatalogue()) {
      std::printf("%-40s %s\n", entry.id.c_str(), entry.title.c_str());
    }
    return 0;
  }
  if (!parsed.yes && !::isatty(STDIN_FILENO)) {
    std::fprintf(stderr,
                 "benchkit-doctor apply: \u201c%s\u201d changes your Mac, so it asks first, and there is no terminal "
                 "to ask on. Run it in a terminal, or add --yes to go ahead without asking.\n",
                 parsed.remediation.title().c_str());
    return 2;
  }

  const SystemProfile profile = takeProfile(services);
  if (profile.homebrewPrefix) context.brewBin = std::filesystem::path(*profile.homebrewPrefix).parent_path();
  context.refreshIndex = HomebrewIndexFreshness::refreshOfferLabel(
                             HomebrewIndexFreshness(services.fs).age(std::chrono::system_clock::now()))
                             .has_value();
  parsed = parseApplyArguments(arguments, context);
  SetupRemediation& remediation = parsed.remediation;

  if (!parsed.yes && !confirmed(remediation)) {
    std::printf("Nothing was changed.\n");
    return 1;
  }
  if (remediation.kind == SetupRemediation::Kind::addMCPServer) {
    remediation.apiKey = parsed.apiKeyFromStdin
                             ? readSecretLine("API key for " + remediation.server->displayName + ": ")
                             : environmentValue("BNCH_MCP_API_KEY");
  }
  if (interrupted()) return kCanceledExitCode;

  SetupRemediationRunner runner(remediationServices(services, config, profile));
  EventStream<RemediationEvent> events =
      keepAlive().wrap(runner.run(remediation, privilegedReasonFor(config, remediation.id())));
  RunOutcome outcome;
  {
    CancelOnInterrupt guard([&events] { events.cancel(); });
    outcome = printEvents(events);
  }
  // A canceled or stopped job still removes its temporary files; wait for that,
  // then end whatever it left running.
  if (!runner.waitForJobs(std::chrono::seconds(30))) endAllChildProcessGroups(std::chrono::seconds(2));

  if (interrupted() || !outcome.exitCode) {
    std::printf("Canceled \u2014 nothing more was changed.\n");
    return kCanceledExitCode;
  }
  if (*outcome.exitCode == 0 && remediation.postInstallCheck().kind != PostInstallCheck::Kind::none) {
    const PostInstallChecker checker(ShellRunner(services.processRunner), *services.fs);
    if (const std::optional<std::string> missing = checker.check(remediation.postInstallCheck())) {
      std::printf("Post-install check: %s\n", missing->c_str());
    } else {
      std::printf("Post-install check passed.\n");
    }
  }
  return *outcome.exitCode;
}

}  // namespace bnch::doctor
