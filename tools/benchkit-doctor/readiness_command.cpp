#include <cstdio>

#include "engine/platform/app_services.h"
#include "engine/probes/disk_readiness.h"
#include "engine/probes/macos_advisory.h"
#include "engine/probes/network_readiness_probe.h"
#include "engine/probes/readiness_screen_copy.h"
#include "engine/probes/system_profiler.h"
#include "tools/benchkit-doctor/commands.h"
#include "tools/benchkit-doctor/json_output.h"

namespace bnch::doctor {

Json readinessJson(const AppServices& services, Architecture architecture, const OperatingSystemVersion& version,
                   bool sampleNetwork) {
  Json warnings = Json::array();
  Json network = nullptr;
  if (sampleNetwork) {
    const NetworkReadinessResult result =
        NetworkReadinessProbe(*services.http).measure(NetworkReadinessConfig::python());
    network = toJson(result);
    network["shouldWarn"] = shouldWarn(result.verdict);
    if (shouldWarn(result.verdict)) {
      warnings.push_back(
          Json{{"check", "network"},
               {"copy", toJson(ReadinessScreenCopy::networkCopy(result.verdict, result.estimatedInstallSeconds))}});
    }
  }

  const DiskReadinessConfig diskConfig = DiskReadinessConfig::python();
  const DiskReadinessResult disk =
      DiskReadiness::diskResult(DiskReadiness::availableBytes(*services.fs, services.fs->homeDirectory()), diskConfig);
  Json diskJson = toJson(disk);
  diskJson["shouldWarn"] = shouldWarn(disk.verdict);
  if (shouldWarn(disk.verdict)) {
    warnings.push_back(
        Json{{"check", "disk"},
             {"copy", toJson(ReadinessScreenCopy::diskCopy(disk.verdict, disk.availableBytes, disk.worstCaseBytes))}});
  }

  SystemProfile profile;
  profile.architecture = architecture;
  profile.macosVersion = version;
  const bool outdated = isOutdatedMacOS(profile);
  if (outdated) {
    warnings.push_back(Json{{"check", "macOS"}, {"copy", toJson(ReadinessScreenCopy::macOSCopy(version.major))}});
  }
  return Json{
      {"network", network},
      {"disk", diskJson},
      {"macOS",
       Json{{"architecture", toJson(architecture)}, {"macosVersion", toJson(version)}, {"isOutdatedMacOS", outdated}}},
      {"warnings", warnings}};
}

// Prints the network, disk and macOS readiness of this Mac.
int readinessCommand(const Arguments& arguments) {
  const bool json = arguments == Arguments{"--json"} || arguments == Arguments{"--json", "--no-network"} ||
                    arguments == Arguments{"--no-network", "--json"};
  if (!json) {
    std::fprintf(stderr, "usage: benchkit-doctor readiness --json [--no-network]\n");
    return 2;
  }
  const bool sampleNetwork = arguments.size() == 1;
  const AppServices& services = AppServices::live();
  const SystemProfiler profiler(ShellRunner(services.processRunner), *services.fs, ProfilerEnvironment::current());
  printJson(readinessJson(services, profiler.architecture(), profiler.macosVersion(), sampleNetwork));
  return 0;
}

}  // namespace bnch::doctor
