#include "engine/workflow/nps_feedback.h"

#include "engine/telemetry/usage_events.h"

namespace bnch {

namespace {
// Set once the satisfaction question was answered or dismissed in this process.
constexpr const char* kSatisfactionResolvedMarker = "satisfaction_resolved";
}  // namespace

NPSFeedback::NPSFeedback(std::shared_ptr<UsageEventTracking> tracker, RunMemory memory,
                         std::shared_ptr<OnceOnlyEvents> onceOnly)
    : tracker_(std::move(tracker)), memory_(std::move(memory)), onceOnly_(std::move(onceOnly)) {}

bool NPSFeedback::submit(int score, const std::string& reason) {
  if (score < 0 || score > highestScore) return false;
  if (tracker_) track(*tracker_, usage_events::npsSubmitted(score, reason));
  memory_.rememberSatisfactionSubmitted();
  markResolved();
  return true;
}

void NPSFeedback::markResolved() { onceOnly_->insert(kSatisfactionResolvedMarker); }

bool NPSFeedback::dismiss() {
  if (!onceOnly_->insert(kSatisfactionResolvedMarker)) return false;
  if (tracker_) track(*tracker_, usage_events::npsDismissed());
  return true;
}

}  // namespace bnch
