#include "tests/support/local_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace bnch::testing {

namespace {

std::string lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::string trim(const std::string& text) {
  auto first = text.find_first_not_of(" \t");
  auto last = text.find_last_not_of(" \t\r");
  return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

const char* reason(long status) {
  switch (status) {
    case 100:
      return "Continue";
    case 200:
      return "OK";
    case 204:
      return "No Content";
    case 206:
      return "Partial Content";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

// Sends everything; false when the peer went away.
bool sendAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
#ifdef MSG_NOSIGNAL
    ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
#else
    ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, 0);
#endif
    if (sent < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(sent);
  }
  return true;
}

void closeOnExec(int fd) { ::fcntl(fd, F_SETFD, FD_CLOEXEC); }

}  // namespace

std::string RecordedRequest::header(const std::string& name) const {
  const std::string wanted = lowercase(name);
  for (const auto& [key, value] : headers) {
    if (lowercase(key) == wanted) return value;
  }
  return "";
}

ScriptedResponse ScriptedResponse::ok(std::string body) {
  ScriptedResponse response;
  response.body = std::move(body);
  return response;
}

ScriptedResponse ScriptedResponse::withStatus(long status, std::string body) {
  ScriptedResponse response;
  response.status = status;
  response.body = std::move(body);
  return response;
}

ScriptedResponse ScriptedResponse::of(Behaviour behaviour) {
  ScriptedResponse response;
  response.behaviour = behaviour;
  return response;
}

LocalHTTPServer::LocalHTTPServer(Handler handler) : handler_(std::move(handler)) {
  int wake[2];
  if (::pipe(wake) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  closeOnExec(wakeRead_);
  closeOnExec(wakeWrite_);

  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listener_ < 0) throw std::system_error(errno, std::generic_category(), "socket");
  closeOnExec(listener_);
  int yes = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 64) != 0) {
    int error = errno;
    ::close(listener_);
    throw std::system_error(error, std::generic_category(), "bind/listen 127.0.0.1");
  }
  socklen_t length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { acceptLoop(); });
}

LocalHTTPServer::~LocalHTTPServer() {
  stop();
  ::close(wakeRead_);
  ::close(wakeWrite_);
}

std::string LocalHTTPServer::url(const std::string& target) const {
  return "http://127.0.0.1:" + std::to_string(port_) + target;
}

void LocalHTTPServer::setHandler(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

std::vector<RecordedRequest> LocalHTTPServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool LocalHTTPServer::waitForRequests(std::size_t count, std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, limit, [&] { return requests_.size() >= count; });
}

void LocalHTTPServer::stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  stopped_.notify_all();
  char byte = 1;
  while (::write(wakeWrite_, &byte, 1) < 0 && errno == EINTR) {
  }
  if (acceptor_.joinable()) acceptor_.join();
  std::vector<std::thread> connections;
  {
    std::lock_guard lock(mutex_);
    connections.swap(connections_);
  }
  for (auto& connection : connections) connection.join();
  ::close(listener_);
}

int LocalHTTPServer::unusedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

bool LocalHTTPServer::pause(std::chrono::milliseconds duration) {
  std::unique_lock lock(mutex_);
  return !stopped_.wait_for(lock, duration, [this] { return stopping_; });
}

void LocalHTTPServer::acceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    int connection = ::accept(listener_, nullptr, nullptr);
    if (connection < 0) continue;
    closeOnExec(connection);
    std::lock_guard lock(mutex_);
    if (stopping_) {
      ::close(connection);
      return;
    }
    connections_.emplace_back([this, connection] {
      serve(connection);
      ::close(connection);
    });
  }
}

void LocalHTTPServer::serve(int connection) {
  std::string received;
  // Reads more bytes; false on end of stream, error or stop.
  auto readMore = [&]() -> bool {
    for (;;) {
      pollfd fds[2] = {{connection, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (fds[1].revents != 0) return false;
      char buffer[8192];
      ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      received.append(buffer, static_cast<std::size_t>(got));
      return true;
    }
  };

  std::size_t headerEnd;
  while ((headerEnd = received.find("\r\n\r\n")) == std::string::npos) {
    if (!readMore()) return;
  }
  RecordedRequest request;
  std::size_t lineStart = 0;
  bool firstLine = true;
  while (lineStart < headerEnd) {
    std::size_t lineEnd = received.find("\r\n", lineStart);
    std::string line = received.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 2;
    if (firstLine) {
      firstLine = false;
      std::size_t space = line.find(' ');
      std::size_t secondSpace = line.find(' ', space + 1);
      request.method = line.substr(0, space);
      request.target = line.substr(space + 1, secondSpace - space - 1);
      continue;
    }
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    request.headers.emplace_back(line.substr(0, colon), trim(line.substr(colon + 1)));
  }
  std::size_t bodyLength = 0;
  if (auto length = request.header("Content-Length"); !length.empty()) bodyLength = std::stoul(length);
  if (lowercase(request.header("Expect")) == "100-continue" && !sendAll(connection, "HTTP/1.1 100 Continue\r\n\r\n")) {
    return;
  }
  const std::size_t bodyStart = headerEnd + 4;
  while (received.size() < bodyStart + bodyLength) {
    if (!readMore()) return;
  }
  request.body = received.substr(bodyStart, bodyLength);

  Handler handler;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    handler = handler_;
  }
  arrived_.notify_all();
  const ScriptedResponse response = handler(request);
  using Behaviour = ScriptedResponse::Behaviour;
  if (response.behaviour == Behaviour::close) return;
  if (response.behaviour == Behaviour::hang) {
    pause(std::chrono::hours(24));
    return;
  }

  std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + reason(response.status) + "\r\n";
  bool hasLength = false;
  for (const auto& [name, value] : response.headers) {
    head += name + ": " + value + "\r\n";
    if (lowercase(name) == "content-length") hasLength = true;
  }
  // Without a body, headersOnly announces none, so the client waits for the close.
  bool announceLength = !(response.behaviour == Behaviour::headersOnly && response.body.empty());
  if (!hasLength && announceLength) head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
  head += "Connection: close\r\n\r\n";
  if (!sendAll(connection, head)) return;

  switch (response.behaviour) {
    case Behaviour::headersOnly:
      pause(std::chrono::hours(24));
      return;
    case Behaviour::trickle: {
      std::size_t chunk = std::max<std::size_t>(response.chunkSize, 1);
      for (std::size_t at = 0; at < response.body.size(); at += chunk) {
        if (!sendAll(connection, response.body.substr(at, chunk))) return;
        if (at + chunk < response.body.size() && !pause(response.interval)) return;
      }
      return;
    }
    default:
      sendAll(connection, response.body);
      ::shutdown(connection, SHUT_WR);
      return;
  }
}

}  // namespace bnch::testing
