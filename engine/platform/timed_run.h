#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/platform/process_running.h"

namespace bnch {

// What a program run under a time limit answered.
struct TimedRun {
  int32_t exitCode = -1;  // -1 when it could not start or did not answer in time
  std::string output;     // standard output and error merged in order, each line ending in "\n"
  bool answered = false;  // it ran to its end within the time limit

  bool operator==(const TimedRun&) const = default;
};

// Runs the program through the streaming form of `runner` (so its output and
// error arrive merged in the order written) and stops it, with its whole process
// group, when `limit` passes. A run that reaches its limit, or cannot start,
// counts as a program that printed nothing and ended with -1, even when the
// child exits from the stop signal before the reading loop sees the limit.
// At most `outputLimit` bytes of output are kept: the head and the tail, with
// a line saying how much was left out between them. Blocks the caller; safe
// from many threads at once.
inline constexpr std::size_t defaultOutputLimit = 4u << 20;
TimedRun runWithTimeLimit(ProcessRunning& runner, const ProcessRequest& request, std::chrono::milliseconds limit,
                          std::size_t outputLimit = defaultOutputLimit);

}  // namespace bnch
