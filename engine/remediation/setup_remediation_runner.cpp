#include "engine/remediation/setup_remediation_runner.h"

#include <exception>
#include <thread>
#include <utility>

#include "engine/remediation/remediation_job.h"

namespace bnch {

namespace {

void runJob(const RemediationJob& job, const SetupRemediation& remediation) {
  switch (remediation.kind) {
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
  std::thread([services = services_, continuation = continuation, privilegedReason, cancellable, remediation] {
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
