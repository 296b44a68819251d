#include "engine/platform/new_session_process_runner.h"

#include <utility>

namespace bnch {

namespace {

ProcessRequest inNewSession(ProcessRequest request) {
  request.newSession = true;
  return request;
}

}  // namespace

ProcessResult NewSessionProcessRunner::run(const ProcessRequest& request) { return inner_->run(inNewSession(request)); }

EventStream<ProcessStreamEvent> NewSessionProcessRunner::stream(const ProcessRequest& request,
                                                                std::shared_ptr<LiveProcessCancellation> cancellation) {
  return inner_->stream(inNewSession(request), std::move(cancellation));
}

}  // namespace bnch
