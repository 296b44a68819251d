#include <cstdio>

#include "engine/platform/app_services.h"
#include "engine/probes/system_profiler.h"
#include "tools/benchkit-doctor/commands.h"
#include "tools/benchkit-doctor/json_output.h"

namespace bnch::doctor {

SystemProfile takeProfile(const AppServices& services) {
  return SystemProfiler(ShellRunner(services.processRunner), *services.fs, ProfilerEnvironment::current()).profile();
}

void printJson(const Json& json) {
  // Paths and program output may hold bytes that are not UTF-8; they print as U+FFFD.
  std::puts(json.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
}

// Prints the system profile of this Mac.
int profileCommand(const Arguments& arguments) {
  if (arguments != Arguments{"--json"}) {
    std::fprintf(stderr, "usage: benchkit-doctor profile --json\n");
    return 2;
  }
  printJson(toJson(takeProfile(AppServices::live())));
  return 0;
}

}  // namespace bnch::doctor
