#include "tests/support/scripted_remediation_runner.h"

namespace bnch::testing {

void ScriptedRemediationRunner::script(const std::string& remediationID, Script script) {
  std::lock_guard lock(mutex_);
  scripts_[remediationID] = std::move(script);
}

EventStream<RemediationEvent> ScriptedRemediationRunner::run(const SetupRemediation& remediation,
                                                             const std::string& privilegedReason) {
  Script script;
  {
    std::lock_guard lock(mutex_);
    calls_.push_back({remediation.id(), privilegedReason});
    if (const auto found = scripts_.find(remediation.id()); found != scripts_.end()) script = found->second;
  }
  auto [stream, continuation] = EventStream<RemediationEvent>::make();
  for (auto& event : script.events) continuation.yield(std::move(event));
  if (script.hangs) {
    continuation.onTermination([count = cancellations_](StreamTermination how) {
      if (how == StreamTermination::canceled) ++*count;
    });
  } else {
    continuation.finish();
  }
  return std::move(stream);
}

std::vector<ScriptedRemediationRunner::Call> ScriptedRemediationRunner::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<std::string> ScriptedRemediationRunner::ranIDs() const {
  std::vector<std::string> ids;
  for (const Call& call : calls()) ids.push_back(call.remediationID);
  return ids;
}

int ScriptedRemediationRunner::cancellations() const { return *cancellations_; }

}  // namespace bnch::testing
