#include "engine/telemetry/telemetry_log.h"

#include <syslog.h>

namespace bnch {

void systemTelemetryLog(const std::string& line) { syslog(LOG_NOTICE, "%s", line.c_str()); }

}  // namespace bnch
