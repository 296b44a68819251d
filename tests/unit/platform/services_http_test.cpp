#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/platform/live_http_fetcher.h"
#include "tests/support/local_http_server.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::LocalHTTPServer;
using testing::RecordedRequest;
using testing::ScriptedResponse;
using testing::TempDir;
using Behaviour = ScriptedResponse::Behaviour;

HTTPRequest get(const std::string& url, double timeout = 10) {
  HTTPRequest request;
  request.url = url;
  request.timeoutSeconds = timeout;
  return request;
}

URLErrorCode codeOfFailure(const std::function<void()>& action) {
  try {
    action();
  } catch (const URLError& error) {
    return error.code();
  }
  ADD_FAILURE() << "no URLError thrown";
  return URLErrorCode::other;
}

std::string header(const HTTPHeaders& headers, const std::string& name) {
  for (const auto& [key, value] : headers) {
    if (key == name) return value;
  }
  return "";
}

TEST(LiveHTTPFetcherTest, DataSendsMethodHeadersBodyAndReturnsTheAnswer) {
  LocalHTTPServer server([](const RecordedRequest& request) {
    if (request.target == "/old") {
      ScriptedResponse moved = ScriptedResponse::withStatus(301);
      moved.headers = {{"Location", "/new"}, {"X-Hop", "1"}};
      return moved;
    }
    ScriptedResponse response = ScriptedResponse::withStatus(404, "echo:" + request.body);
    response.headers = {{"X-Answer", "42"}};
    return response;
  });
  LiveHTTPFetcher http;
  HTTPRequest request = get(server.url("/api"));
  request.method = "PUT";
  request.headers = {{"Authorization", "Bearer t"}};
  request.body = "payload";

  HTTPDataResult result = http.data(request);

  // An error status is an answer, not a failure.
  EXPECT_EQ(result.response.statusCode, 404);
  EXPECT_EQ(result.body, "echo:payload");
  EXPECT_EQ(header(result.response.headers, "X-Answer"), "42");
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].method, "PUT");
  EXPECT_EQ(server.requests()[0].header("Authorization"), "Bearer t");
  EXPECT_EQ(server.requests()[0].body, "payload");

  // Redirects are followed; only the final response's headers are reported.
  HTTPDataResult redirected = http.data(get(server.url("/old")));
  EXPECT_EQ(redirected.response.url, server.url("/new"));
  EXPECT_EQ(header(redirected.response.headers, "X-Hop"), "");
  EXPECT_EQ(header(redirected.response.headers, "X-Answer"), "42");
}

TEST(LiveHTTPFetcherTest, FailuresMapToURLErrorKinds) {
  LiveHTTPFetcher http;
  const std::string refused = "http://127.0.0.1:" + std::to_string(LocalHTTPServer::unusedPort()) + "/";
  EXPECT_EQ(codeOfFailure([&] { http.data(get(refused)); }), URLErrorCode::cannotConnectToHost);
  EXPECT_EQ(codeOfFailure([&] { http.sample(get(refused), 100, 1); }), URLErrorCode::cannotConnectToHost);
  EXPECT_EQ(codeOfFailure([&] { http.data(get("ftp://127.0.0.1/")); }), URLErrorCode::badURL);
  EXPECT_EQ(codeOfFailure([&] { http.data(get("http://no-such-host.invalid/")); }), URLErrorCode::cannotFindHost);

  LocalHTTPServer server([](const RecordedRequest& request) {
    return ScriptedResponse::of(request.target == "/hang" ? Behaviour::hang : Behaviour::close);
  });
  EXPECT_EQ(codeOfFailure([&] { http.data(get(server.url("/close"))); }), URLErrorCode::networkConnectionLost);
  EXPECT_EQ(codeOfFailure([&] { http.data(get(server.url("/hang"), 0.3)); }), URLErrorCode::timedOut);
  // A sample whose request never gets an answer cannot be opened either.
  EXPECT_EQ(codeOfFailure([&] { http.sample(get(server.url("/hang"), 0.3), 100, 5); }), URLErrorCode::timedOut);
  EXPECT_EQ(makeURLError(28, 0).description(), "The request timed out.");
}

TEST(LiveHTTPFetcherTest, SampleCountsUntilMaxBytesTimeOutOrEnd) {
  LocalHTTPServer server([](const RecordedRequest& request) {
    if (request.target == "/silent") return ScriptedResponse::of(Behaviour::headersOnly);
    if (request.target == "/broken") {
      ScriptedResponse broken = ScriptedResponse::ok("abc");
      broken.headers = {{"Content-Length", "1000"}};  // promises more than it sends
      return broken;
    }
    ScriptedResponse slow = ScriptedResponse::ok(std::string(2000, 'x'));
    slow.behaviour = request.target == "/slow" ? Behaviour::trickle : Behaviour::respond;
    slow.chunkSize = 10;
    slow.interval = std::chrono::milliseconds(50);
    return slow;
  });
  LiveHTTPFetcher http;

  EXPECT_EQ(http.sample(get(server.url("/fast")), 0, 5).bytes, 1);
  EXPECT_EQ(http.sample(get(server.url("/fast")), -7, 5).bytes, 1);
  EXPECT_EQ(http.sample(get(server.url("/fast")), 500, 5).bytes, 500);
  EXPECT_EQ(http.sample(get(server.url("/fast")), 1'000'000, 5).bytes, 2000);  // the body ended first

  // Answered but no body byte in time: zero bytes, not a failure.
  EXPECT_EQ(http.sample(get(server.url("/silent")), 100, 0.3).bytes, 0);

  // Time-out mid-body: the bytes so far stand (10 per 50 ms, far fewer than 2000).
  ThroughputSample slow = http.sample(get(server.url("/slow")), 1'000'000, 0.3);
  EXPECT_GT(slow.bytes, 0);
  EXPECT_LT(slow.bytes, 2000);
  EXPECT_EQ(slow.bytes % 10, 0);

  // A broken stream ends the sample quietly with what arrived.
  EXPECT_EQ(http.sample(get(server.url("/broken")), 1'000'000, 5).bytes, 3);

  ThroughputSample instant = http.sample(get(server.url("/fast")), 100, -1);
  EXPECT_GE(instant.seconds, 0.0001);
}

TEST(LiveHTTPFetcherTest, DownloadWritesAPrivateFileAndReportsProgress) {
  const std::string body(300'000, 'd');
  LocalHTTPServer server([&](const RecordedRequest& request) {
    if (request.target == "/broken") {
      ScriptedResponse broken = ScriptedResponse::ok("abc");
      broken.headers = {{"Content-Length", "1000"}};
      return broken;
    }
    ScriptedResponse response = ScriptedResponse::ok(body);
    response.behaviour = Behaviour::trickle;
    response.chunkSize = 100'000;
    response.interval = std::chrono::milliseconds(30);
    return response;
  });
  // A folder of its own, so that what other programs do in the shared temporary
  // folder cannot change what this test sees there.
  const TempDir downloads("bnch-downloads");
  LiveHTTPFetcher http(downloads.path());
  const auto filesInFolder = [&] {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(downloads.path())) files.push_back(entry.path());
    return files;
  };
  std::vector<std::pair<std::int64_t, std::int64_t>> reports;

  HTTPDownloadResult result = http.download(
      get(server.url("/file.tar.gz")), [&](std::int64_t got, std::int64_t all) { reports.emplace_back(got, all); });

  EXPECT_EQ(filesInFolder(), std::vector<std::filesystem::path>{result.file});
  std::ifstream file(result.file, std::ios::binary);
  std::stringstream contents;
  contents << file.rdbuf();
  EXPECT_EQ(contents.str(), body);
  EXPECT_EQ(std::filesystem::status(result.file).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  std::filesystem::remove(result.file);
  ASSERT_GE(reports.size(), 2u);
  EXPECT_EQ(reports.back(), (std::pair<std::int64_t, std::int64_t>{300'000, 300'000}));
  EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));

  // A failed download leaves no file behind; an exception from the callback cancels.
  EXPECT_EQ(codeOfFailure([&] { http.download(get(server.url("/broken")), {}); }), URLErrorCode::networkConnectionLost);
  EXPECT_THROW(http.download(get(server.url("/file")),
                             [](std::int64_t got, std::int64_t) {
                               if (got > 0) throw std::runtime_error("stop");
                             }),
               std::runtime_error);
  EXPECT_TRUE(filesInFolder().empty());
}

// A body that never comes: the stall time-out gives up, and a cancel flag set from
// another thread stops the transfer, with no file left either way.
TEST(LiveHTTPFetcherTest, AStalledDownloadEndsByItsStallTimeOutOrItsCancelFlag) {
  LocalHTTPServer server([](const RecordedRequest&) {
    ScriptedResponse silent = ScriptedResponse::of(Behaviour::headersOnly);
    silent.body = std::string(1000, 's');
    return silent;
  });
  const TempDir downloads("bnch-downloads");
  LiveHTTPFetcher http(downloads.path());

  HTTPRequest stalled = get(server.url("/stall.pkg"), 60);
  stalled.stallTimeoutSeconds = 1;
  EXPECT_EQ(codeOfFailure([&] { http.download(stalled, {}); }), URLErrorCode::timedOut);

  HTTPRequest cancellable = get(server.url("/stall.pkg"), 60);
  auto canceled = std::make_shared<std::atomic<bool>>(false);
  cancellable.canceled = canceled;
  std::thread canceller([&] {
    server.waitForRequests(2);
    canceled->store(true);
  });
  EXPECT_EQ(codeOfFailure([&] { http.download(cancellable, {}); }), URLErrorCode::canceled);
  canceller.join();
  EXPECT_TRUE(std::filesystem::is_empty(downloads.path()));
}

TEST(LiveHTTPFetcherTest, ConcurrentRequestsFromManyThreads) {
  LocalHTTPServer server([](const RecordedRequest& request) { return ScriptedResponse::ok(request.target); });
  LiveHTTPFetcher http;
  std::vector<std::thread> threads;
  std::vector<std::string> bodies(8);
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    threads.emplace_back([&, i] { bodies[i] = http.data(get(server.url("/" + std::to_string(i)))).body; });
  }
  for (auto& thread : threads) thread.join();
  for (std::size_t i = 0; i < bodies.size(); ++i) EXPECT_EQ(bodies[i], "/" + std::to_string(i));
  EXPECT_TRUE(server.waitForRequests(bodies.size()));
}

}  // namespace
}  // namespace bnch
