#include "engine/workflow/once_only_events.h"

namespace bnch {

bool OnceOnlyEvents::insert(const std::string& marker) {
  std::lock_guard lock(mutex_);
  return names_.insert(marker).second;
}

bool OnceOnlyEvents::contains(const std::string& marker) const {
  std::lock_guard lock(mutex_);
  return names_.count(marker) > 0;
}

bool OnceOnlyEvents::markSatisfactionShown() {
  std::lock_guard lock(mutex_);
  const bool wasShown = satisfactionShown_;
  satisfactionShown_ = true;
  return !wasShown;
}

}  // namespace bnch
