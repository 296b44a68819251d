#include "engine/remediation/setup_remediation_runner.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>

#include "engine/platform/new_session_process_runner.h"
#include "engine/remediation/remediation_job.h"
#include "engine/remediation/remediation_jobs.h"

namespace bnch {

namespace {

void runJob(const RemediationJob& job, const SetupRemediation& remediation) {
  using Kind = SetupRemediation::Kind;
  switch (remediation.kind) {
    case Kind::installCommandLineTools:
      return jobs::installCommandLineTools(job);
    case Kind::installHomebrew:
      return jobs::installHomebrew(job);
    case Kind::repairHomebrewPath:
      return jobs::repairHomebrewPath(job);
    case Kind::repairPath:
      return jobs::repairPath(job, remediation.directory);
    case Kind::installUv:
      return jobs::installUv(job, remediation.refreshIndex);
    case Kind::configureShell:
      return jobs::configureShell(job);
    case Kind::documentEnvironment:
      return jobs::documentEnvironment(job);
    case Kind::createProject:
      return jobs::createProject(job, remediation.projectTemplate, remediation.destinationPath);
    case Kind::installWarp:
    case Kind::installClaudeDesktop:
    case Kind::installZed:
    case Kind::installVSCode:
    case Kind::installZettlr:
    case Kind::installObsidian:
    case Kind::installCodexCLI:
    case Kind::installChatGPTDesktop:
      return jobs::installAppCask(job, remediation.id().substr(std::string_view("brew:").size()));
    case Kind::installClaudeCLI:
      return jobs::installClaudeCLI(job);
    case Kind::installMise:
      return jobs::installMise(job);
    case Kind::installNodeViaMise:
      return jobs::installMiseLanguage(job, kNodeViaMise);
    case Kind::installRubyViaMise:
      return jobs::installMiseLanguage(job, kRubyViaMise);
    case Kind::installRustViaMise:
      return jobs::installMiseLanguage(job, kRustViaMise);
    case Kind::installRustup:
      return jobs::installRustup(job);
    case Kind::installGh:
      return jobs::installGh(job);
    case Kind::configureGit:
      return jobs::configureGit(job, remediation.name, remediation.email);
    case Kind::githubAuth:
      return jobs::githubAuth(job);
    case Kind::installTemurin:
      return jobs::installTemurin(job);
    case Kind::setJavaHome:
      return jobs::setJavaHome(job);
    case Kind::installTemurinPackage:
      return jobs::installTemurinPackage(job);
    case Kind::installSkill:
      return jobs::installSkill(job, remediation.skill.value());
    case Kind::addMCPServer:
      return jobs::addMCPServer(job, remediation.server.value(), remediation.apiKey);
  }
  job.output("Unknown remediation.");
  job.complete(1);
}

// Every child of a remediation runs in a new session without a controlling
// terminal: answers reach it only through the password dialog and our own prompts.
RemediationServices inNewSessions(RemediationServices services) {
  if (services.process) services.process = std::make_shared<NewSessionProcessRunner>(std::move(services.process));
  return services;
}

}  // namespace

struct SetupRemediationRunner::JobCount {
  std::mutex mutex;
  std::condition_variable changed;
  int running = 0;
};

SetupRemediationRunner::SetupRemediationRunner(RemediationServices services)
    : services_(std::make_shared<const RemediationServices>(inNewSessions(std::move(services)))),
      jobs_(std::make_shared<JobCount>()) {}

bool SetupRemediationRunner::waitForJobs(std::chrono::milliseconds limit) const {
  std::unique_lock lock(jobs_->mutex);
  return jobs_->changed.wait_for(lock, limit, [this] { return jobs_->running == 0; });
}

EventStream<RemediationEvent> SetupRemediationRunner::run(const SetupRemediation& remediation,
                                                          const std::string& privilegedReason) {
  auto [stream, continuation] = EventStream<RemediationEvent>::make();
  auto cancellable = std::make_shared<CancellableProcess>();
  continuation.onTermination([cancellable](StreamTermination how) {
    if (how == StreamTermination::canceled) cancellable->cancel();
  });
  {
    std::lock_guard lock(jobs_->mutex);
    ++jobs_->running;
  }
  std::thread([services = services_, jobs = jobs_, continuation = continuation, privilegedReason, cancellable,
               remediation] {
    RemediationJob job(services, continuation, privilegedReason, cancellable);
    try {
      runJob(job, remediation);
    } catch (const std::exception& error) {
      job.output(std::string("Something went wrong: ") + error.what());
      job.complete(1);
    }
    // Every stream ends with one terminal event, even when a job returned without one.
    if (!job.hasEnded()) {
      if (job.isCanceled()) {
        job.canceled();
      } else {
        job.complete(1);
      }
    }
    std::lock_guard lock(jobs->mutex);
    --jobs->running;
    jobs->changed.notify_all();
  }).detach();
  return std::move(stream);
}

}  // namespace bnch
