#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace bnch {

using HTTPHeaders = std::vector<std::pair<std::string, std::string>>;

struct HTTPRequest {
  std::string url;
  std::string method = "GET";
  HTTPHeaders headers;
  std::string body;
  double timeoutSeconds = 60.0;  // whole request
  // When set, the request stops with URLError(canceled) soon after the flag turns
  // true (it is checked whenever bytes arrive and about once a second meanwhile).
  std::shared_ptr<const std::atomic<bool>> canceled{};
  // Above 0: give up with URLError(timedOut) once less than one byte a second has
  // arrived for this many seconds (a stalled transfer).
  double stallTimeoutSeconds = 0;

  bool operator==(const HTTPRequest&) const = default;
};

struct HTTPResponse {
  long statusCode = 0;
  HTTPHeaders headers;
  std::string url;  // final URL after redirects

  bool operator==(const HTTPResponse&) const = default;
};

// The URL-loading failure kinds callers tell apart.
enum class URLErrorCode {
  notConnectedToInternet,
  cannotFindHost,
  cannotConnectToHost,
  dnsLookupFailed,
  networkConnectionLost,
  timedOut,
  canceled,
  badServerResponse,
  badURL,
  dataNotAllowed,
  internationalRoamingOff,
  resourceUnavailable,
  other,
};

class URLError : public std::runtime_error {
 public:
  URLError(URLErrorCode code, const std::string& description) : std::runtime_error(description), code_(code) {}
  URLErrorCode code() const noexcept { return code_; }
  std::string description() const { return what(); }

 private:
  URLErrorCode code_;
};

struct HTTPDataResult {
  std::string body;
  HTTPResponse response;
};

struct HTTPDownloadResult {
  std::filesystem::path file;  // private temporary file; the caller moves or deletes it
  HTTPResponse response;
};

// Bytes received so far and the expected total (0 when unknown).
using DownloadProgress = std::function<void(std::int64_t received, std::int64_t expected)>;

struct ThroughputSample {
  std::int64_t bytes = 0;
  double seconds = 0.0001;  // never below 0.0001

  bool operator==(const ThroughputSample&) const = default;
};

// Network access. Each call blocks the calling thread until it is done and may be
// made from any thread. HTTP error statuses are answers, not errors; URLError is
// thrown only when no response could be had.
class HTTPFetching {
 public:
  virtual ~HTTPFetching() = default;
  virtual HTTPDataResult data(const HTTPRequest& request) = 0;
  virtual HTTPDownloadResult download(const HTTPRequest& request, const DownloadProgress& progress) = 0;
  // Reads the response body until `maxBytes` have arrived (at least one byte) or
  // `timeoutSeconds` have passed, whichever is first. Throws only when the request
  // cannot be opened; a read error ends the sample with what was counted.
  virtual ThroughputSample sample(const HTTPRequest& request, std::int64_t maxBytes, double timeoutSeconds) = 0;
};

}  // namespace bnch
