#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/remediation/setup_remediation_runner.h"

namespace bnch::testing {

// A remediation runner that plays back scripted events instead of changing the
// Mac. Each remediation identifier has a script (the fallback: completed 0);
// a script that `hangs` yields its events and then waits, as a silent install
// does, until the consumer cancels. Records every call and every cancellation.
// Thread-safe.
class ScriptedRemediationRunner final : public RemediationRunning {
 public:
  struct Script {
    std::vector<RemediationEvent> events{RemediationEvent::completed(0)};
    bool hangs = false;
  };
  struct Call {
    std::string remediationID;
    std::string privilegedReason;
    bool operator==(const Call&) const = default;
  };

  void script(const std::string& remediationID, Script script);
  EventStream<RemediationEvent> run(const SetupRemediation& remediation, const std::string& privilegedReason) override;

  std::vector<Call> calls() const;
  std::vector<std::string> ranIDs() const;
  // How many hanging runs the consumer canceled.
  int cancellations() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, Script> scripts_;
  std::vector<Call> calls_;
  // Shared with the streams, which may outlive the runner.
  std::shared_ptr<std::atomic<int>> cancellations_ = std::make_shared<std::atomic<int>>(0);
};

}  // namespace bnch::testing
