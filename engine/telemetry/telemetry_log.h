#pragma once

#include <functional>
#include <string>

namespace bnch {

// Where the telemetry area's log lines go. Each line begins with "Telemetry: ".
using TelemetryLogSink = std::function<void(const std::string& line)>;

// The system log (syslog(3); on macOS it reaches the unified log). Never writes
// to standard output. Safe from any thread.
void systemTelemetryLog(const std::string& line);

}  // namespace bnch
