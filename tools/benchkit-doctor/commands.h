#pragma once

#include <string>
#include <vector>

#include "engine/platform/app_services.h"
#include "engine/probes/setup_probe_bundle.h"
#include "engine/probes/system_profile.h"
#include "tools/benchkit-doctor/json_output.h"

namespace bnch::doctor {

// Each subcommand takes its arguments (after the subcommand's name) and returns
// the process exit code. Output goes to standard output; errors to standard error.
using Arguments = std::vector<std::string>;

int configCommand(const Arguments& arguments);
int profileCommand(const Arguments& arguments);
int probesCommand(const Arguments& arguments);
int readinessCommand(const Arguments& arguments);
int reportCommand(const Arguments& arguments);
int verifyCommand(const Arguments& arguments);
int diagnoseCommand(const Arguments& arguments);
int applyCommand(const Arguments& arguments);

// For apply: instead of ending the program, the first SIGINT, SIGTERM or SIGHUP
// cancels the running remediation. Call once from main before any thread starts.
void cancelRemediationsOnTerminationSignals();

// Shared by the commands above: gather with the live services, and print JSON.
SystemProfile takeProfile(const AppServices& services);
SetupProbeBundle takeProbes(const AppServices& services);
Json probesJson(const SetupProbeBundle& bundle);
Json readinessJson(const AppServices& services, Architecture architecture, const OperatingSystemVersion& version,
                   bool sampleNetwork);
void printJson(const Json& json);

}  // namespace bnch::doctor
