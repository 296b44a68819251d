#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/platform/http_fetching.h"

namespace bnch::testing {

// A request as the server received it.
struct RecordedRequest {
  std::string method;
  std::string target;  // path and query, e.g. "/api/formula.json?x=1"
  HTTPHeaders headers;
  std::string body;

  // The first header with this name (case-insensitive), or "".
  std::string header(const std::string& name) const;
};

// What the server does with one request.
struct ScriptedResponse {
  enum class Behaviour {
    respond,      // status line, headers, body, then close
    hang,         // read the request, never answer (until the server stops)
    headersOnly,  // status line and headers (Content-Length only with a body), then nothing
    trickle,      // headers, then the body `chunkSize` bytes at a time, `interval` apart
    close,        // close the connection without a byte of answer
  };
  Behaviour behaviour = Behaviour::respond;
  long status = 200;
  HTTPHeaders headers;  // Content-Length and Connection: close are added
  std::string body;
  std::size_t chunkSize = 1;
  std::chrono::milliseconds interval{20};

  static ScriptedResponse ok(std::string body);
  static ScriptedResponse withStatus(long status, std::string body = "");
  static ScriptedResponse of(Behaviour behaviour);
};

// A tiny HTTP/1.1 server on 127.0.0.1 (an ephemeral port) for tests. Every
// connection runs on its own thread and carries one request; the handler (called
// on that thread, so it must be thread-safe) decides the answer. Requests are
// recorded in arrival order. The destructor (or stop()) wakes hanging and
// trickling connections and joins every thread.
class LocalHTTPServer {
 public:
  using Handler = std::function<ScriptedResponse(const RecordedRequest&)>;

  explicit LocalHTTPServer(Handler handler = [](const RecordedRequest&) { return ScriptedResponse::ok("ok"); });
  ~LocalHTTPServer();
  LocalHTTPServer(const LocalHTTPServer&) = delete;
  LocalHTTPServer& operator=(const LocalHTTPServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `target` (which starts with "/").
  std::string url(const std::string& target = "/") const;
  void setHandler(Handler handler);
  std::vector<RecordedRequest> requests() const;
  // Waits until at least `count` requests have arrived; false if `limit` passed first.
  bool waitForRequests(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
  void stop();

  // A port on 127.0.0.1 with nothing listening (bound, then released).
  static int unusedPort();

 private:
  void acceptLoop();
  void serve(int connection);
  // Sleeps up to `duration`; false when the server is stopping.
  bool pause(std::chrono::milliseconds duration);

  int listener_ = -1;
  int port_ = 0;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  mutable std::condition_variable arrived_;
  bool stopping_ = false;
  Handler handler_;
  std::vector<RecordedRequest> requests_;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

}  // namespace bnch::testing
