#include "tests/support/canned_http_fetcher.h"

#include <unistd.h>
#include <cstdlib>
#include <fstream>

namespace bnch::testing {

void CannedHTTPFetcher::answer(const std::string& url, CannedAnswer answer) {
  std::lock_guard lock(mutex_);
  answers_[url] = {std::move(answer)};
}

void CannedHTTPFetcher::answerInOrder(const std::string& url, std::vector<CannedAnswer> answers) {
  std::lock_guard lock(mutex_);
  answers_[url] = std::move(answers);
}

void CannedHTTPFetcher::setHandler(std::function<CannedAnswer(const HTTPRequest&)> handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

void CannedHTTPFetcher::sampleResult(const std::string& url, ThroughputSample sample) {
  std::lock_guard lock(mutex_);
  samples_[url] = sample;
}

CannedAnswer CannedHTTPFetcher::next(const HTTPRequest& request) {
  std::function<CannedAnswer(const HTTPRequest&)> handler;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    handler = handler_;
    if (!handler) {
      auto it = answers_.find(request.url);
      if (it == answers_.end() || it->second.empty()) {
        return URLError(URLErrorCode::cannotFindHost, "A server with the specified hostname could not be found.");
      }
      CannedAnswer answer = it->second.front();
      if (it->second.size() > 1) it->second.erase(it->second.begin());
      return answer;
    }
  }
  return handler(request);
}

HTTPDataResult CannedHTTPFetcher::data(const HTTPRequest& request) {
  CannedAnswer answer = next(request);
  if (auto* error = std::get_if<URLError>(&answer)) throw *error;
  auto& response = std::get<CannedResponse>(answer);
  return {response.body, HTTPResponse{response.statusCode, response.headers, request.url}};
}

HTTPDownloadResult CannedHTTPFetcher::download(const HTTPRequest& request, const DownloadProgress& progress) {
  HTTPDataResult result = data(request);
  char pattern[] = "/tmp/bnch-canned-download-XXXXXX";
  int fd = mkstemp(pattern);
  if (fd < 0) throw URLError(URLErrorCode::other, "could not create a temporary file");
  close(fd);
  std::ofstream(pattern, std::ios::binary) << result.body;
  if (progress) progress(static_cast<std::int64_t>(result.body.size()), static_cast<std::int64_t>(result.body.size()));
  return {pattern, result.response};
}

ThroughputSample CannedHTTPFetcher::sample(const HTTPRequest& request, std::int64_t, double) {
  {
    std::lock_guard lock(mutex_);
    auto it = samples_.find(request.url);
    if (it != samples_.end()) {
      requests_.push_back(request);
      return it->second;
    }
  }
  HTTPDataResult result = data(request);
  return {static_cast<std::int64_t>(result.body.size()), 0.0001};
}

std::vector<HTTPRequest> CannedHTTPFetcher::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

}  // namespace bnch::testing
