#include "engine/remediation/setup_remediation_runner.h"

#include <exception>
#include <string_view>
#include <thread>
#include <utility>

#include "engine/remediation/remediation_job.h"
#include "engine/remediation/remediation_jobs.h"

namespace bnch {

namespace {

void runJob(const RemediationJob& job, const SetupRemediation& remediation) {
  using Kind = SetupRemediation::Kind;
  switch (remediation.kind) {
    case Kind::installWarp:
    case Kind::installClaudeDesktop:
    case Kind::installZed:
    case Kind::installVSCode:
    case Kind::installZettlr:
    case Kind::installObsidian:
    case Kind::installCodexCLI:
    case Kind::installChatGPTDesktop:
      return installAppCask(job, remediation.id().substr(std::string_view("brew:").size()));
    case Kind::installClaudeCLI:
      return installClaudeCLI(job);
    case Kind::installMise:
      return installMise(job);
    case Kind::installNodeViaMise:
      return installMiseLanguage(job, kNodeViaMise);
    case Kind::installRubyViaMise:
      return installMiseLanguage(job, kRubyViaMise);
    case Kind::installRustViaMise:
      return installMiseLanguage(job, kRustViaMise);
    case Kind::installRustup:
      return installRustup(job);
    case Kind::installGh:
      return installGh(job);
    case Kind::configureGit:
      return configureGit(job, remediation.name, remediation.email);
    case Kind::githubAuth:
      return githubAuth(job);
    case Kind::installTemurin:
      return installTemurin(job);
    case Kind::setJavaHome:
      return setJavaHome(job);
    case Kind::installTemurinPackage:
      return installTemurinPackage(job);
    case Kind::installSkill:
      return installSkill(job, remediation.skill.value());
    case Kind::addMCPServer:
      return addMCPServer(job, remediation.server.value(), remediation.apiKey);
    default:
      job.output("This build cannot run “" + remediation.title() + "” yet.");
      job.complete(1);
      return;
  }
}

}  // namespace

SetupRemediationRunner::SetupRemediationRunner(RemediationServices services)
    : services_(std::make_shared<const RemediationServices>(std::move(services))) {}

EventStream<RemediationEvent> SetupRemediationRunner::run(const SetupRemediation& remediation,
                                                          const std::string& privilegedReason) {
  auto [stream, continuation] = EventStream<RemediationEvent>::make();
  auto cancellable = std::make_shared<CancellableProcess>();
  continuation.onTermination([cancellable](StreamTermination how) {
    if (how == StreamTermination::canceled) cancellable->cancel();
  });
  std::thread([services = services_, continuation, privilegedReason, cancellable, remediation] {
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
  }).detach();
  return std::move(stream);
}

}  // namespace bnch
