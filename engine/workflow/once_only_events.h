#pragma once

#include <mutex>
#include <set>
#include <string>

namespace bnch {

// Markers shared by every flow model of a process, so that a second model does
// not send once-only events again. The entry point builds one and hands it to
// each model. Safe to use from any thread.
class OnceOnlyEvents {
 public:
  // Adds the marker; true when it was not there yet.
  bool insert(const std::string& marker);
  bool contains(const std::string& marker) const;

  // Sets the satisfaction-shown flag; true when it was not set yet.
  bool markSatisfactionShown();

 private:
  mutable std::mutex mutex_;
  std::set<std::string> names_;
  bool satisfactionShown_ = false;
};

}  // namespace bnch
