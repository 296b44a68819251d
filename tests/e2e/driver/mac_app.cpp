#include "mac_app.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace bnch::e2e {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto answerLimit = 15s;

std::string seconds(std::chrono::milliseconds limit) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(limit.count()) / 1000);
  return text;
}

// Reads one line from `fd` into `buffer`, waiting at most until `deadline`;
// nothing when the time is up or the other end closed.
std::optional<std::string> readLine(int fd, std::string& buffer, Clock::time_point deadline) {
  for (;;) {
    if (const auto end = buffer.find('\n'); end != std::string::npos) {
      std::string line = buffer.substr(0, end);
      buffer.erase(0, end + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return std::nullopt;
    pollfd ready{.fd = fd, .events = POLLIN, .revents = 0};
    if (::poll(&ready, 1, static_cast<int>(left)) <= 0) continue;
    char chunk[4096];
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n <= 0) return std::nullopt;
    buffer.append(chunk, static_cast<std::size_t>(n));
  }
}

void writeAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0)
      throw std::runtime_error("driver: the program's end of the line is gone: " + std::string(std::strerror(errno)));
    done += static_cast<std::size_t>(n);
  }
}

// A folder the simulated user may write (root callers run the sandbox as uid 501).
fs::path userFolder(const fs::path& path, fs::perms perms) {
  fs::create_directories(path);
  if (::geteuid() == 0 && ::chown(path.c_str(), 501, 20) != 0) throw std::runtime_error("chown " + path.string());
  fs::permissions(path, perms);
  return path;
}

}  // namespace

MacApp::MacApp(std::string_view scenario, std::map<std::string, std::string> env)
    : collector_(std::make_unique<testing::LocalCollector>()),
      // The readiness check's stand-in for the internet: a quick 200 KB answer.
      network_(std::make_unique<testing::LocalHTTPServer>(
          [](const testing::RecordedRequest&) { return testing::ScriptedResponse::ok(std::string(200'000, 'x')); })) {
  signal(SIGPIPE, SIG_IGN);
  const fs::path io =
      userFolder(scratch_.sub("io"), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
  const fs::path runtime = userFolder(io / "runtime", fs::perms::owner_all);
  socket_ = io / "automation.sock";
  env.insert({{"QT_QPA_PLATFORM", "offscreen"},
              {"QT_QUICK_BACKEND", "software"},
              {"XDG_RUNTIME_DIR", runtime.string()},
              {"BNCH_AUTOMATION_SOCKET", socket_.string()},
              {"BNCH_AUTOMATION_TELEMETRY", collector_->endpointURL()},
              {"BNCH_AUTOMATION_NETWORK_CHECK", network_->url("/network-check")},
              {"BNCH_TELEMETRY_DISABLED", ""}});

  std::vector<std::string> argv{systest::macsimPath().string(),
                                "run",
                                systest::scenarioPath(scenario).string(),
                                "--keep",
                                scratch_.sub("mac").string(),
                                "--share",
                                io.string()};
  for (const auto& [key, value] : env) argv.insert(argv.end(), {"--env", key + "=" + value});
  argv.insert(argv.end(), {"--", "/bin/bash", BNCH_E2E_LAUNCHER, BNCH_E2E_APP_PATH, (io / "app.log").string()});

  int in[2], out[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0) throw std::runtime_error("driver: pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  for (int fd : {in[0], in[1], out[0], out[1]}) posix_spawn_file_actions_addclose(&actions, fd);
  std::vector<char*> cargv;
  for (auto& arg : argv) cargv.push_back(arg.data());
  cargv.push_back(nullptr);
  const int spawned = ::posix_spawn(&macsim_, cargv[0], &actions, nullptr, cargv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  launcherIn_ = in[1];
  launcherOut_ = out[0];
  for (int fd : {launcherIn_, launcherOut_}) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  if (spawned != 0) throw std::runtime_error("driver: couldn't start macsim: " + std::string(std::strerror(spawned)));
}

MacApp::~MacApp() {
  try {
    if (running_) kill();
  } catch (const std::exception&) {
    // The sandbox ends below either way.
  }
  if (connection_ >= 0) ::close(connection_);
  ::close(launcherIn_);  // the launcher reads its end of input and ends
  ::close(launcherOut_);
  const auto deadline = Clock::now() + 10s;
  while (::waitpid(macsim_, nullptr, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      ::kill(macsim_, SIGTERM);  // takes the sandbox and everything in it along
      ::waitpid(macsim_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(50ms);
  }
}

std::string MacApp::launcherLine(std::chrono::milliseconds limit) {
  auto line = readLine(launcherOut_, launcherBuffer_, Clock::now() + limit);
  if (!line) {
    throw std::runtime_error("driver: the simulated Mac did not answer within " + seconds(limit) +
                             "; the program's output:\n" + programOutput());
  }
  return *line;
}

std::string MacApp::programOutput() const {
  std::ifstream in(scratch_.sub("io") / "app.log", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void MacApp::launch() {
  if (running_) throw std::runtime_error("driver: the program is already running");
  std::error_code ignored;
  fs::remove(socket_, ignored);  // a killed run leaves its socket behind
  writeAll(launcherIn_, "launch\n");
  if (const std::string line = launcherLine(answerLimit); line != "launched") {
    throw std::runtime_error("driver: the launcher said " + line);
  }
  running_ = true;
  connect();
}

void MacApp::connect() {
  const auto deadline = Clock::now() + defaultWait;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socket_.c_str(), sizeof address.sun_path - 1);
  for (;;) {
    connection_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(connection_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return;
    ::close(connection_);
    connection_ = -1;
    if (Clock::now() > deadline) {
      throw std::runtime_error("driver: the program did not open its automation socket within " + seconds(defaultWait) +
                               " (is it built with BNCH_AUTOMATION?)");
    }
    std::this_thread::sleep_for(100ms);
  }
}

int MacApp::exitStatus(const std::string& command) {
  if (connection_ >= 0) ::close(connection_);
  connection_ = -1;
  connectionBuffer_.clear();
  writeAll(launcherIn_, command + "\n");
  const std::string line = launcherLine(defaultWait);
  running_ = false;
  if (!line.starts_with("exited ")) throw std::runtime_error("driver: the launcher said " + line);
  return std::stoi(line.substr(7));
}

int MacApp::quit() {
  sendOK("quit");
  return exitStatus("wait");
}

int MacApp::closeWindow() {
  sendOK("close");
  return exitStatus("wait");
}

int MacApp::kill() { return exitStatus("kill"); }

nlohmann::json MacApp::send(const std::string& command) {
  if (connection_ < 0) throw std::runtime_error("driver: the program is not running (" + command + ")");
  writeAll(connection_, command + "\n");
  const auto line = readLine(connection_, connectionBuffer_, Clock::now() + answerLimit);
  if (!line) throw std::runtime_error("driver: no answer to \"" + command + "\" within " + seconds(answerLimit));
  return nlohmann::json::parse(*line);
}

nlohmann::json MacApp::sendOK(const std::string& command) {
  nlohmann::json answer = send(command);
  if (!answer.value("ok", false)) {
    throw std::runtime_error("driver: \"" + command + "\" refused: " + answer.value("error", answer.dump()));
  }
  return answer;
}

nlohmann::json MacApp::waitUntil(const std::string& what, const std::string& command, const std::string& key,
                                 std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    nlohmann::json answer = sendOK(command);
    if (answer.value(key, false) && answer.value("settled", true)) return answer;
    if (Clock::now() > deadline) {
      const std::string label = "failed-waiting";
      screenshot(label);
      throw std::runtime_error("driver: " + what + " did not show within " + seconds(limit) +
                               "; the window then: build/screens/e2e/" + label + ".png");
    }
    std::this_thread::sleep_for(100ms);
  }
}

bool MacApp::isShown(const std::string& name) { return sendOK("find " + name).value("found", false); }

void MacApp::waitFor(const std::string& name, std::chrono::milliseconds limit) {
  waitUntil("the control " + name, "find " + name, "found", limit);
}

bool MacApp::showsText(const std::string& text) { return sendOK("text " + text).value("found", false); }

void MacApp::waitForText(const std::string& text, std::chrono::milliseconds limit) {
  waitUntil("the text \"" + text + "\"", "text " + text, "found", limit);
}

void MacApp::click(const std::string& name, std::chrono::milliseconds limit) {
  waitFor(name, limit);
  sendOK("click " + name);
}

void MacApp::type(const std::string& name, const std::string& text, std::chrono::milliseconds limit) {
  waitFor(name, limit);
  sendOK("type " + name + " " + text);
}

nlohmann::json MacApp::property(const std::string& name, const std::string& property) {
  return sendOK("property " + name + " " + property)["value"];
}

void MacApp::screenshot(const std::string& label) {
  const fs::path shot = scratch_.sub("io") / "screenshot.png";
  sendOK("screenshot " + shot.string());
  fs::create_directories(BNCH_E2E_SCREENS_DIR);
  fs::copy_file(shot, fs::path(BNCH_E2E_SCREENS_DIR) / (label + ".png"), fs::copy_options::overwrite_existing);
}

fs::path MacApp::home() const {
  for (const auto& entry : fs::directory_iterator(scratch_.sub("mac") / "Users")) {
    if (entry.is_directory() && entry.path().filename() != "Shared") return entry.path();
  }
  throw std::runtime_error("driver: the simulated Mac has no user folder");
}

std::vector<std::string> MacApp::eventNamesSentOrPending() const {
  // An event is known by its time stamp, name and data: one delivered twice (the
  // program ended before it could strike it from the pending file) or delivered
  // and still pending counts once; two of one name in the same millisecond (two
  // quick installs) differ in their data.
  std::vector<std::string> names;
  std::set<std::string> seen;
  const auto add = [&](const std::string& timestamp, const std::string& name, const nlohmann::json& data) {
    if (seen.insert(timestamp + '\n' + name + '\n' + data.dump()).second) names.push_back(name);
  };
  for (const JSONObject& record : collector_->delivered()) {
    const nlohmann::json wire = nlohmann::json::parse(encodeJSON(JSONValue(record)));
    add(wire.value("client_timestamp", ""), wire.value("event_name", ""), wire.value("event_data", nlohmann::json()));
  }
  std::ifstream pending(home() / "Library" / "Application Support" / "Benchkit for Python" / "pending-events.json");
  if (!pending) return names;
  for (const nlohmann::json& event : nlohmann::json::parse(pending))
    add(event.at("clientTimestamp"), event.at("eventName"), event.at("eventData"));
  return names;
}

JSONObject MacApp::waitForEvent(const std::string& name, std::size_t count, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    std::vector<JSONObject> matching;
    for (const JSONObject& record : collector_->delivered()) {
      if (const auto it = record.find("event_name"); it != record.end() && it->second == JSONValue(name)) {
        matching.push_back(record);
      }
    }
    if (matching.size() >= count) return matching[count - 1];
    if (Clock::now() > deadline) {
      std::string seen;
      for (const std::string& delivered : eventNames()) seen += " " + delivered;
      throw std::runtime_error("driver: usage event " + name + " #" + std::to_string(count) + " not received within " +
                               seconds(limit) + "; received:" + seen);
    }
    std::this_thread::sleep_for(100ms);
  }
}

}  // namespace bnch::e2e
