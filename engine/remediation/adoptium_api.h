#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/platform/http_fetching.h"

namespace bnch {

// A small client of the Adoptium REST service: which Java release is current, and
// where the macOS installer package of a release lives with its checksum.
//
// A value holding the shared HTTP service; calls block the calling thread and may
// be made from any thread. The client never retries. Failures are thrown:
// - URLError from the transport, URLError(badServerResponse) for a status other
//   than 200, URLError(badURL) when the request address cannot be formed;
// - DomainError "AdoptiumAPI" with code 1 (no installer asset), 2 (the installer
//   link is not an http or https address), 3 (the checksum is not 64 characters)
//   or 4 (the answer is not the JSON described below).
class AdoptiumAPI {
 public:
  struct AvailableReleases {
    int mostRecentLTS = 0;                        // "most_recent_lts", always above 0
    std::optional<int> mostRecentFeatureRelease;  // "most_recent_feature_release"
    bool operator==(const AvailableReleases&) const = default;
  };

  struct AssetMetadata {
    std::string downloadURL;  // the .pkg installer
    std::string checksum;     // SHA-256, 64 lower-case hexadecimal characters
    std::string filename;     // the installer's name as the service gives it
    std::string releaseName;  // e.g. "jdk-25+36"
    bool operator==(const AssetMetadata&) const = default;
  };

  static constexpr std::string_view domain = "AdoptiumAPI";
  static constexpr std::string_view publicBaseURL = "https://api.adoptium.net";

  explicit AdoptiumAPI(std::shared_ptr<HTTPFetching> http, std::string baseURL = std::string(publicBaseURL));

  // GET <base>/v3/info/available_releases (10-second time-out).
  AvailableReleases availableReleases() const;

  // GET <base>/v3/assets/latest/<major>/hotspot?architecture=…&image_type=jdk&os=mac
  // (20-second time-out) and the first asset's installer.
  AssetMetadata latestInstaller(int major, const std::string& architecture) const;

  const std::string& baseURL() const { return baseURL_; }

 private:
  std::string getJSON(const std::string& url, double timeoutSeconds) const;

  std::shared_ptr<HTTPFetching> http_;
  std::string baseURL_;
};

}  // namespace bnch
