#pragma once

#include <variant>

#include "engine/platform/http_fetching.h"
#include "engine/probes/readiness_config.h"
#include "engine/probes/readiness_result.h"

namespace bnch {

// Measures the download speed to the servers a setup needs, all sampled at the
// same time, and judges whether a full setup would take too long. `measure`
// never fails and blocks for about the configured time-out per endpoint; the
// fetcher must outlive the probe.
class NetworkReadinessProbe {
 public:
  struct EndpointSample {
    struct Throughput {
      double bytesPerSecond = 0;
      bool operator==(const Throughput&) const = default;
    };
    struct Responded {
      bool operator==(const Responded&) const = default;
    };
    struct Down {
      bool operator==(const Down&) const = default;
    };
    struct Timeout {
      bool operator==(const Timeout&) const = default;
    };
    std::variant<Throughput, Responded, Down, Timeout> value;
    bool operator==(const EndpointSample&) const = default;
  };

  explicit NetworkReadinessProbe(HTTPFetching& http) : http_(http) {}

  NetworkReadinessResult measure(const NetworkReadinessConfig& config) const;
  EndpointSample sampleEndpoint(const std::string& url, const NetworkReadinessConfig& config) const;

  // The verdict from the samples of every endpoint.
  static NetworkReadinessResult judge(const std::vector<EndpointSample>& samples, const NetworkReadinessConfig& config);

 private:
  HTTPFetching& http_;
};

}  // namespace bnch
