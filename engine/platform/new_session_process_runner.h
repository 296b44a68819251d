#pragma once

#include <memory>

#include "engine/platform/process_running.h"

namespace bnch {

// Starts every program of the inner runner in a new session without a controlling
// terminal (ProcessRequest::newSession), whatever the caller asked for.
//
// The remediation runner wraps its process service in one, so that no child it
// starts (sudo, an install script, brew, gh) can be stopped by the job control of
// a terminal the program was started from, or read a password from it. Thread-safe
// as the inner runner is; it holds the inner runner for its own lifetime.
class NewSessionProcessRunner final : public ProcessRunning {
 public:
  explicit NewSessionProcessRunner(std::shared_ptr<ProcessRunning> inner) : inner_(std::move(inner)) {}

  ProcessResult run(const ProcessRequest& request) override;
  EventStream<ProcessStreamEvent> stream(const ProcessRequest& request,
                                         std::shared_ptr<LiveProcessCancellation> cancellation) override;

 private:
  std::shared_ptr<ProcessRunning> inner_;
};

}  // namespace bnch
