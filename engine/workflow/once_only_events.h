#pragma once

#include <string>

namespace bnch {

// Process-wide markers shared by every flow model, so that a second model in the
// same process does not send once-only events again. Each has its own lock.
namespace once_only {

// Adds the marker; true when it was not there yet.
bool insert(const std::string& marker);
bool contains(const std::string& marker);

// Sets the satisfaction-shown flag; true when it was not set yet.
bool markSatisfactionShown();

// Clears both, for tests that walk several runs in one process.
void resetForTesting();

}  // namespace once_only

}  // namespace bnch
