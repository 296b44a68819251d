#pragma once

#include <memory>
#include <string>

#include "engine/telemetry/usage_event_tracking.h"
#include "engine/workflow/once_only_events.h"
#include "engine/workflow/run_memory.h"

namespace bnch {

// The two answers of a feedback card: a score with an optional reason, or a
// dismissal. The workflow's satisfaction card and the NPS card both answer
// through here, so the score's event, the stored ".nps_submitted" flag and the
// once-per-process dismissal are the same for both. Calls come from the GUI
// thread; the once-only markers are shared by every card of the process.
class NPSFeedback {
 public:
  // Scores run from 0 to this.
  static constexpr int highestScore = 10;

  // `tracker` may be null (nothing is sent).
  NPSFeedback(std::shared_ptr<UsageEventTracking> tracker, RunMemory memory, std::shared_ptr<OnceOnlyEvents> onceOnly);

  // Sends "nps_submitted" with the score and the reason (trimmed, its first 500
  // characters, null when blank), stores the submitted flag and marks the
  // satisfaction resolved for the process. A score outside 0 to 10 sends and
  // stores nothing and answers false.
  bool submit(int score, const std::string& reason);
  // Marks the satisfaction resolved without an event (answered elsewhere).
  void markResolved();
  // Sends "nps_dismissed" unless the satisfaction was already answered or
  // dismissed in this process; true when it was sent.
  bool dismiss();
  // Whether a score was submitted in this or an earlier launch.
  bool submittedBefore() const { return memory_.satisfactionSubmitted(); }

 private:
  std::shared_ptr<UsageEventTracking> tracker_;
  RunMemory memory_;
  std::shared_ptr<OnceOnlyEvents> onceOnly_;
};

}  // namespace bnch
