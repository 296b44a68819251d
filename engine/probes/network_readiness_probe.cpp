#include "engine/probes/network_readiness_probe.h"

#include <cmath>
#include <exception>
#include <future>

namespace bnch {
namespace {

bool isNetworkDown(URLErrorCode code) {
  switch (code) {
    case URLErrorCode::notConnectedToInternet:
    case URLErrorCode::cannotFindHost:
    case URLErrorCode::cannotConnectToHost:
    case URLErrorCode::dnsLookupFailed:
    case URLErrorCode::networkConnectionLost:
    case URLErrorCode::dataNotAllowed:
    case URLErrorCode::internationalRoamingOff:
    case URLErrorCode::resourceUnavailable:
      return true;
    default:
      return false;
  }
}

}  // namespace

NetworkReadinessProbe::EndpointSample NetworkReadinessProbe::sampleEndpoint(
    const std::string& url, const NetworkReadinessConfig& config) const {
  HTTPRequest request;
  request.url = url;
  request.timeoutSeconds = config.probeTimeoutSeconds;
  request.headers = {{"Range", "bytes=0-" + std::to_string(config.maxSampleBytes - 1)}, {"Cache-Control", "no-cache"}};
  try {
    const ThroughputSample sample = http_.sample(request, config.maxSampleBytes, config.probeTimeoutSeconds);
    if (sample.bytes >= 1 && sample.seconds > 0) {
      return {EndpointSample::Throughput{static_cast<double>(sample.bytes) / sample.seconds}};
    }
    return {EndpointSample::Responded{}};
  } catch (const URLError& error) {
    if (isNetworkDown(error.code())) return {EndpointSample::Down{}};
    return {EndpointSample::Timeout{}};
  } catch (const std::exception&) {
    return {EndpointSample::Timeout{}};
  }
}

NetworkReadinessResult NetworkReadinessProbe::measure(const NetworkReadinessConfig& config) const {
  if (config.endpoints.empty()) return NetworkReadinessResult{};
  std::vector<std::future<EndpointSample>> running;
  for (const auto& url : config.endpoints) {
    running.push_back(std::async(std::launch::async, [this, url, &config] { return sampleEndpoint(url, config); }));
  }
  std::vector<EndpointSample> samples;
  for (auto& sample : running) samples.push_back(sample.get());
  return judge(samples, config);
}

NetworkReadinessResult NetworkReadinessProbe::judge(const std::vector<EndpointSample>& samples,
                                                    const NetworkReadinessConfig& config) {
  NetworkReadinessResult result;
  result.endpointsTotal = static_cast<int>(samples.size());
  double best = 0;
  int down = 0;
  for (const auto& sample : samples) {
    if (const auto* throughput = std::get_if<EndpointSample::Throughput>(&sample.value)) {
      best = std::max(best, throughput->bytesPerSecond);
      ++result.endpointsReachable;
    } else if (std::holds_alternative<EndpointSample::Responded>(sample.value)) {
      ++result.endpointsReachable;
    } else if (std::holds_alternative<EndpointSample::Down>(sample.value)) {
      ++down;
    }
  }
  if (best > 0) {
    const double estimate = std::round(static_cast<double>(config.estimatedPayloadBytes) / best);
    const int seconds = estimate > 2e9 ? 2'000'000'000 : static_cast<int>(estimate);
    result.verdict = seconds > config.slowThresholdSeconds ? NetworkVerdict::slow : NetworkVerdict::ok;
    result.downMbps = best * 8 / 1'000'000;
    result.estimatedInstallSeconds = seconds;
    return result;
  }
  const bool allDown = !samples.empty() && down == result.endpointsTotal && result.endpointsReachable == 0;
  result.verdict = allDown ? NetworkVerdict::unreachable : NetworkVerdict::unmeasured;
  return result;
}

}  // namespace bnch
