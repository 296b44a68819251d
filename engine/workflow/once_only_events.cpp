#include "engine/workflow/once_only_events.h"

#include <mutex>
#include <set>

namespace bnch::once_only {

namespace {

struct Markers {
  std::mutex mutex;
  std::set<std::string> names;
};

struct SatisfactionFlag {
  std::mutex mutex;
  bool shown = false;
};

Markers& markers() {
  static Markers instance;
  return instance;
}

SatisfactionFlag& satisfactionFlag() {
  static SatisfactionFlag instance;
  return instance;
}

}  // namespace

bool insert(const std::string& marker) {
  std::lock_guard lock(markers().mutex);
  return markers().names.insert(marker).second;
}

bool contains(const std::string& marker) {
  std::lock_guard lock(markers().mutex);
  return markers().names.count(marker) > 0;
}

bool markSatisfactionShown() {
  std::lock_guard lock(satisfactionFlag().mutex);
  const bool wasShown = satisfactionFlag().shown;
  satisfactionFlag().shown = true;
  return !wasShown;
}

void resetForTesting() {
  {
    std::lock_guard lock(markers().mutex);
    markers().names.clear();
  }
  std::lock_guard lock(satisfactionFlag().mutex);
  satisfactionFlag().shown = false;
}

}  // namespace bnch::once_only
