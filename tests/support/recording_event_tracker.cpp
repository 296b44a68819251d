#include "tests/support/recording_event_tracker.h"

namespace bnch::testing {

void RecordingEventTracker::track(const std::string& eventName, JSONObject data) {
  std::lock_guard lock(mutex_);
  events_.push_back({eventName, std::move(data)});
}

std::vector<RecordingEventTracker::Event> RecordingEventTracker::events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<std::string> RecordingEventTracker::names() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  names.reserve(events_.size());
  for (const Event& event : events_) names.push_back(event.name);
  return names;
}

std::optional<JSONObject> RecordingEventTracker::first(const std::string& eventName) const {
  std::lock_guard lock(mutex_);
  for (const Event& event : events_) {
    if (event.name == eventName) return event.data;
  }
  return std::nullopt;
}

int RecordingEventTracker::count(const std::string& eventName) const {
  std::lock_guard lock(mutex_);
  int n = 0;
  for (const Event& event : events_) n += event.name == eventName ? 1 : 0;
  return n;
}

void RecordingEventTracker::clear() {
  std::lock_guard lock(mutex_);
  events_.clear();
}

}  // namespace bnch::testing
