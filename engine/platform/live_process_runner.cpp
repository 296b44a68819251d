#include "engine/platform/live_process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "engine/platform/text.h"
#include "engine/platform/utf8.h"

#if defined(__APPLE__)
#include <crt_externs.h>
#else
extern "C" char** environ;
#endif

namespace bnch {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long a child may ignore the terminate request before it gets SIGKILL.
constexpr auto kKillGrace = std::chrono::seconds(10);
// After the child has been reaped, pipes still open (held by its descendants) are
// read while data keeps coming at least every kLingerQuiet, for at most kLingerTotal.
constexpr auto kLingerQuiet = milliseconds(100);
constexpr auto kLingerTotal = milliseconds(1000);
// While output is quiet, how often the child is checked for having exited.
constexpr auto kMinIdleWait = milliseconds(5);
constexpr auto kMaxIdleWait = milliseconds(200);
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::size_t kMaxLineBytes = 1024 * 1024;

std::string describeError(int error) { return std::generic_category().message(error); }

char** inheritedEnvironment() {
#if defined(__APPLE__)
  return *_NSGetEnviron();
#else
  return environ;
#endif
}

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { reset(); }

  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

struct Pipe {
  FileDescriptor read;
  FileDescriptor write;
};

// Serialises pipe creation and spawning where pipes cannot be created close-on-exec
// atomically, so that no child started by another thread inherits our pipe ends
// in the moment before FD_CLOEXEC is set (it would hold the write end open).
std::unique_lock<std::mutex> spawnGuard() {
#if defined(__linux__)
  return {};
#else
  static std::mutex mutex;
  return std::unique_lock(mutex);
#endif
}

[[noreturn]] void throwLaunchError(int error) { throw ProcessLaunchError(describeError(error)); }

// Moves `fd` above the standard descriptors (so that dup2 onto 1 and 2 in the child
// never meets itself) and makes sure it is close-on-exec.
FileDescriptor aboveStandardDescriptors(int fd) {
  FileDescriptor owned(fd);
  if (fd > STDERR_FILENO) {
#if !defined(__linux__)
    if (::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) throwLaunchError(errno);
#endif
    return owned;
  }
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  if (moved < 0) throwLaunchError(errno);
  return FileDescriptor(moved);
}

// Both ends close-on-exec; the read end non-blocking. Call under spawnGuard().
Pipe makePipe() {
  int fds[2];
#if defined(__linux__)
  if (::pipe2(fds, O_CLOEXEC) != 0) throwLaunchError(errno);
#else
  if (::pipe(fds) != 0) throwLaunchError(errno);
#endif
  Pipe pipe{aboveStandardDescriptors(fds[0]), aboveStandardDescriptors(fds[1])};
  const int flags = ::fcntl(pipe.read.get(), F_GETFL);
  if (flags < 0 || ::fcntl(pipe.read.get(), F_SETFL, flags | O_NONBLOCK) != 0) throwLaunchError(errno);
  return pipe;
}

// posix_spawn attributes and file actions, released on every path.
class SpawnSetup {
 public:
  SpawnSetup() {
    if (int error = ::posix_spawnattr_init(&attributes_)) throwLaunchError(error);
    if (int error = ::posix_spawn_file_actions_init(&actions_)) {
      ::posix_spawnattr_destroy(&attributes_);
      throwLaunchError(error);
    }
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  ~SpawnSetup() {
    ::posix_spawn_file_actions_destroy(&actions_);
    ::posix_spawnattr_destroy(&attributes_);
  }

  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t actions_;
};

// Starts the program with its standard output on `out` and standard error on `err`.
// The child gets a process group of its own (or a session, when asked), an empty signal mask and the default
// handling of the signals an application commonly changes. Throws ProcessLaunchError.
pid_t spawnChild(const ProcessRequest& request, int out, int err) {
  SpawnSetup setup;
  sigset_t empty;
  sigemptyset(&empty);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int sig :
       {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGALRM, SIGTERM, SIGCHLD, SIGUSR1, SIGUSR2, SIGTSTP, SIGTTIN, SIGTTOU}) {
    sigaddset(&defaults, sig);
  }
  // A new session also makes the child the leader of a new process group, so
  // signalling the group works the same; setsid and setpgid cannot be combined.
  const short group = request.newSession ? POSIX_SPAWN_SETSID : POSIX_SPAWN_SETPGROUP;
  const short flags = group | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  int error = ::posix_spawnattr_setflags(&setup.attributes_, flags);
  if (!error && !request.newSession) error = ::posix_spawnattr_setpgroup(&setup.attributes_, 0);
  if (!error && request.newSession) {
    error = ::posix_spawn_file_actions_addopen(&setup.actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  if (!error) error = ::posix_spawnattr_setsigmask(&setup.attributes_, &empty);
  if (!error) error = ::posix_spawnattr_setsigdefault(&setup.attributes_, &defaults);
  if (!error) error = ::posix_spawn_file_actions_adddup2(&setup.actions_, out, STDOUT_FILENO);
  if (!error) error = ::posix_spawn_file_actions_adddup2(&setup.actions_, err, STDERR_FILENO);
  if (error) throwLaunchError(error);

  std::vector<char*> argv;
  argv.reserve(request.arguments.size() + 2);
  argv.push_back(const_cast<char*>(request.executable.c_str()));
  for (const auto& argument : request.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  std::vector<std::string> environmentStrings;
  std::vector<char*> envp;
  char** environment = nullptr;
  if (request.environment) {
    environmentStrings.reserve(request.environment->size());
    for (const auto& [name, value] : *request.environment) environmentStrings.push_back(name + "=" + value);
    for (auto& entry : environmentStrings) envp.push_back(entry.data());
    envp.push_back(nullptr);
    environment = envp.data();
  } else {
    environment = inheritedEnvironment();
  }

  pid_t pid = -1;
  // posix_spawn reports a failed exec (missing file, not executable, bad format)
  // as its result on both glibc and macOS.
  error =
      ::posix_spawn(&pid, request.executable.c_str(), &setup.actions_, &setup.attributes_, argv.data(), environment);
  if (error) throwLaunchError(error);
  return pid;
}

int32_t exitCodeFromStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// The process groups of the children started and not yet reaped, process-wide.
// A pid leaves the list under the list's lock right after waitpid has reaped it.
class ChildGroups {
 public:
  static ChildGroups& shared() {
    static ChildGroups* groups = new ChildGroups();  // never destroyed: used until _exit
    return *groups;
  }
  void add(pid_t pid) {
    std::lock_guard guard(mutex_);
    pids_.push_back(pid);
  }
  void remove(pid_t pid) {
    std::lock_guard guard(mutex_);
    std::erase(pids_, pid);
  }
  std::vector<pid_t> snapshot() {
    std::lock_guard guard(mutex_);
    return pids_;
  }

 private:
  std::mutex mutex_;
  std::vector<pid_t> pids_;
};

// A spawned child. Signals are only ever sent before the child is reaped, under
// the same lock that reaping takes, so a reused pid is never signalled.
class Child final : public RunningProcess {
 public:
  explicit Child(pid_t pid) : pid_(pid) { ChildGroups::shared().add(pid); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool isRunning() const override {
    std::lock_guard guard(mutex_);
    return !reaped_;
  }

  void terminate() override {
    std::lock_guard guard(mutex_);
    if (reaped_) return;
    signalGroup(SIGTERM);
    if (!terminateRequestedAt_) terminateRequestedAt_ = Clock::now();
  }

  void kill() {
    std::lock_guard guard(mutex_);
    if (!reaped_) signalGroup(SIGKILL);
  }

  // SIGKILL once the child has ignored the terminate request for kKillGrace.
  void escalateIfIgnored() {
    std::lock_guard guard(mutex_);
    if (reaped_ || killed_ || !terminateRequestedAt_) return;
    if (Clock::now() - *terminateRequestedAt_ < kKillGrace) return;
    signalGroup(SIGKILL);
    killed_ = true;
  }

  // Reaps the child if it has exited. Returns true once it has been reaped.
  bool tryReap() {
    std::lock_guard guard(mutex_);
    if (reaped_) return true;
    int status = 0;
    pid_t result;
    do {
      result = ::waitpid(pid_, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0) return false;
    markReaped(result == pid_ ? exitCodeFromStatus(status) : -1);
    return true;
  }

  // Kills the whole group and waits for the child: for failure paths.
  void killAndReap() {
    std::lock_guard guard(mutex_);
    if (reaped_) return;
    signalGroup(SIGKILL);
    int status = 0;
    pid_t result;
    do {
      result = ::waitpid(pid_, &status, 0);
    } while (result < 0 && errno == EINTR);
    markReaped(result == pid_ ? exitCodeFromStatus(status) : -1);
  }

  int32_t exitCode() const {
    std::lock_guard guard(mutex_);
    return exitCode_;
  }

 private:
  void signalGroup(int signal) {
    // The child leads its own group from the moment posix_spawn returns; the
    // fallback covers a child that could not be put in a group of its own.
    if (::kill(-pid_, signal) != 0) ::kill(pid_, signal);
  }
  void markReaped(int32_t code) {
    reaped_ = true;
    exitCode_ = code;
    ChildGroups::shared().remove(pid_);
  }

  const pid_t pid_;
  mutable std::mutex mutex_;
  bool reaped_ = false;
  bool killed_ = false;
  int32_t exitCode_ = -1;
  std::optional<Clock::time_point> terminateRequestedAt_;
};

// One pipe being drained, and what to do with its bytes.
struct Sink {
  FileDescriptor fd;
  std::function<void(const char* data, std::size_t size)> onData;
};

// Drains every sink until end of file while watching the child, and reaps it.
// Returns when the child has been reaped and the pipes are closed or have stayed
// quiet after its exit (see kLingerQuiet). Never leaves the child unreaped. Once
// `deadline` passes the child's group is asked to terminate (and killed if it
// ignores that); returns true when that happened.
bool pumpUntilExit(Child& child, std::vector<Sink>& sinks, std::optional<Clock::time_point> deadline = std::nullopt) {
  bool timedOut = false;
  std::vector<char> buffer(kReadChunk);
  std::vector<pollfd> fds;
  std::vector<Sink*> polled;
  auto idleWait = kMinIdleWait;
  auto nextReapCheck = Clock::now() + idleWait;
  std::optional<Clock::time_point> lingerUntil;  // set once the child is reaped

  const auto anyOpen = [&] {
    return std::any_of(sinks.begin(), sinks.end(), [](const Sink& sink) { return sink.fd.get() >= 0; });
  };

  while (anyOpen()) {
    fds.clear();
    polled.clear();
    for (auto& sink : sinks) {
      if (sink.fd.get() < 0) continue;
      fds.push_back({sink.fd.get(), POLLIN, 0});
      polled.push_back(&sink);
    }
    auto timeout = idleWait;
    if (lingerUntil) {
      const auto left = std::chrono::duration_cast<milliseconds>(*lingerUntil - Clock::now());
      if (left <= milliseconds(0)) break;
      timeout = std::min(kLingerQuiet, left);
    }
    const int ready = ::poll(fds.data(), static_cast<nfds_t>(fds.size()), static_cast<int>(timeout.count()));
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;  // cannot wait on the pipes any more: stop reading, still reap below
    }
    if (ready == 0) {
      if (lingerUntil) break;  // quiet after the child's exit
      idleWait = std::min(idleWait * 2, kMaxIdleWait);
    } else {
      idleWait = kMinIdleWait;
      for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents == 0) continue;
        Sink& sink = *polled[i];
        const ssize_t count = ::read(sink.fd.get(), buffer.data(), buffer.size());
        if (count > 0) {
          sink.onData(buffer.data(), static_cast<std::size_t>(count));
        } else if (count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
          sink.fd.reset();
        }
      }
    }
    // Check on the child now and then even while output flows, so that output
    // from descendants that outlive it cannot keep the call going forever.
    const auto now = Clock::now();
    if (!lingerUntil && now >= nextReapCheck) {
      if (child.tryReap()) {
        lingerUntil = now + kLingerTotal;
      } else if (deadline && !timedOut && now >= *deadline) {
        timedOut = true;
        child.terminate();
      } else {
        child.escalateIfIgnored();
      }
      nextReapCheck = now + idleWait;
    }
  }
  for (auto& sink : sinks) sink.fd.reset();

  auto wait = milliseconds(1);
  while (!child.tryReap()) {
    if (deadline && !timedOut && Clock::now() >= *deadline) {
      timedOut = true;
      child.terminate();
    }
    child.escalateIfIgnored();
    std::this_thread::sleep_for(wait);
    wait = std::min(wait * 2, milliseconds(50));
  }
  return timedOut;
}

// Splits bytes into lines at every line break (LF, VT, FF, CR, CRLF, U+0085,
// U+2028, U+2029), without the terminators, and decodes each line. A break that
// the next bytes could still change (a CR before a possible LF, the start of a
// multi-byte break) waits for them, so breaks split across reads count once.
class LineSplitter {
 public:
  template <class Emit>
  void feed(const char* data, std::size_t size, Emit&& emit) {
    pending_.append(data, size);
    std::size_t start = 0;
    std::size_t i = scanned_;
    for (;;) {
      i = pending_.find_first_of(kBreakLeads, i);
      if (i == std::string::npos) {
        i = pending_.size();
        break;
      }
      if (mayStillGrow(i)) break;
      const std::size_t length = lineBreakLength(pending_, i);
      if (length == 0) {
        ++i;  // a lead byte of some other character
        continue;
      }
      emit(decodeUtf8Lossy(pending_.substr(start, i - start)));
      start = i + length;
      i = start;
    }
    pending_.erase(0, start);
    scanned_ = i - start;
    // Bound the memory a child without line breaks can make us hold.
    while (pending_.size() > kMaxLineBytes) {
      std::size_t cut = utf8CompletePrefixLength(std::string_view(pending_).substr(0, kMaxLineBytes));
      if (cut == 0) cut = kMaxLineBytes;
      emit(decodeUtf8Lossy(pending_.substr(0, cut)));
      pending_.erase(0, cut);
      scanned_ = scanned_ > cut ? scanned_ - cut : 0;
    }
  }

  // The output has ended: what is left is the last line (a final CR ends it).
  template <class Emit>
  void finish(Emit&& emit) {
    if (pending_.empty()) return;
    if (pending_.back() == '\r') pending_.pop_back();
    emit(decodeUtf8Lossy(std::move(pending_)));
    pending_.clear();
    scanned_ = 0;
  }

 private:
  // Bytes that can begin a line break.
  static constexpr const char* kBreakLeads = "\n\v\f\r\xC2\xE2";

  // True when the bytes from `i` to the end are a proper prefix of a longer break
  // (CR of CRLF, or the first bytes of U+0085, U+2028, U+2029).
  bool mayStillGrow(std::size_t i) const {
    const std::string_view rest = std::string_view(pending_).substr(i);
    if (rest == "\r" || rest == "\xC2" || rest == "\xE2") return true;
    return rest == "\xE2\x80";
  }

  std::string pending_;
  std::size_t scanned_ = 0;  // bytes of pending_ known to hold no break
};

// Appends with capacities that are powers of two, whatever sizes the reads return,
// so that output of a power-of-two size never needs a last, nearly empty doubling.
void collect(std::string& into, const char* data, std::size_t size) {
  const std::size_t needed = into.size() + size;
  if (needed > into.capacity()) {
    into.reserve(std::bit_ceil(needed));
#if defined(__linux__)
    // Large output: ask for huge pages, so that filling the buffer takes one page
    // fault per 2 MiB instead of one per 4 KiB (advice only; ignored where unsupported).
    constexpr std::uintptr_t kHugePage = 2u << 20;
    if (into.capacity() >= 4 * kHugePage) {
      const auto begin = reinterpret_cast<std::uintptr_t>(into.data());
      const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
      const std::uintptr_t last = (begin + into.capacity()) & ~(kHugePage - 1);
      if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#endif
  }
  into.append(data, size);
}

// Reads the merged output of a streamed child, yields its lines, reaps it, and
// ends the stream with `exited`.
void readStream(const std::shared_ptr<Child>& child, FileDescriptor fd,
                const EventStream<ProcessStreamEvent>::Continuation& continuation) {
  LineSplitter splitter;
  const auto yieldLine = [&](std::string line) { continuation.yield(ProcessStreamEvent::line(std::move(line))); };
  std::vector<Sink> sinks;
  sinks.push_back({std::move(fd), [&](const char* data, std::size_t size) {
                     // Nobody listens any more: keep draining so the child never blocks.
                     if (!continuation.isCanceled()) splitter.feed(data, size, yieldLine);
                   }});
  try {
    pumpUntilExit(*child, sinks);
    splitter.finish(yieldLine);
  } catch (...) {
    // Out of memory while collecting lines: stop the child rather than leave it.
    child->killAndReap();
  }
  continuation.yield(ProcessStreamEvent::exited(child->exitCode()));
  continuation.finish();
}

// True while the group has a member. Once its leader is reaped a group may live
// on (descendants that ignored SIGTERM); while it has a member its id cannot be
// reused, so a group that still answers is still ours.
bool groupExists(pid_t group) { return ::kill(-group, 0) == 0 || errno == EPERM; }

std::mutex gTerminationMutex;  // one termination at a time
// Set once a termination signal has arrived: the program then ends with 128 + N,
// also when the main thread finishes while the children are being stopped.
std::atomic<bool> gTerminating{false};

// atexit: a main thread that returns while a termination is under way waits for
// the signal thread's _Exit instead of ending the program with its own status.
void awaitTermination() {
  while (gTerminating.load()) ::pause();
}

}  // namespace

int endAllChildProcessGroups(std::chrono::milliseconds grace) {
  std::lock_guard guard(gTerminationMutex);
  const std::vector<pid_t> groups = ChildGroups::shared().snapshot();
  for (pid_t group : groups) {
    if (::kill(-group, SIGTERM) != 0) ::kill(group, SIGTERM);
  }
  const auto deadline = Clock::now() + grace;
  const auto anyLeft = [&] { return std::any_of(groups.begin(), groups.end(), groupExists); };
  while (anyLeft() && Clock::now() < deadline) std::this_thread::sleep_for(milliseconds(20));
  for (pid_t group : groups) {
    if (groupExists(group)) ::kill(-group, SIGKILL);
  }
  return static_cast<int>(groups.size());
}

void endChildProcessGroupsOnTerminationSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, sig);
  if (::pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return;
  std::atexit(awaitTermination);
  std::thread([signals] {
    int received = 0;
    while (::sigwait(&signals, &received) != 0) {
    }
    gTerminating = true;
    endAllChildProcessGroups(std::chrono::seconds(2));
    // Not exit(): other threads are still running; buffered output is dropped.
    std::_Exit(128 + received);
  }).detach();
}

ProcessResult LiveProcessRunner::run(const ProcessRequest& request) {
  Pipe out;
  Pipe err;
  pid_t pid;
  {
    auto guard = spawnGuard();
    out = makePipe();
    err = makePipe();
    pid = spawnChild(request, out.write.get(), err.write.get());
  }
  out.write.reset();
  err.write.reset();

  Child child(pid);
  std::string outBytes;
  std::string errBytes;
  std::vector<Sink> sinks;
  sinks.push_back({std::move(out.read), [&](const char* data, std::size_t size) { collect(outBytes, data, size); }});
  sinks.push_back({std::move(err.read), [&](const char* data, std::size_t size) { collect(errBytes, data, size); }});
  std::optional<Clock::time_point> deadline;
  if (request.timeLimit) deadline = Clock::now() + *request.timeLimit;
  bool timedOut = false;
  try {
    timedOut = pumpUntilExit(child, sinks, deadline);
  } catch (...) {
    child.killAndReap();
    throw;
  }
  return ProcessResult{child.exitCode(), decodeUtf8Lossy(std::move(outBytes)), decodeUtf8Lossy(std::move(errBytes)),
                       timedOut};
}

EventStream<ProcessStreamEvent> LiveProcessRunner::stream(const ProcessRequest& request,
                                                          std::shared_ptr<LiveProcessCancellation> cancellation) {
  auto [events, continuation] = EventStream<ProcessStreamEvent>::make();
  Pipe merged;
  pid_t pid;
  try {
    auto guard = spawnGuard();
    merged = makePipe();
    pid = spawnChild(request, merged.write.get(), merged.write.get());
  } catch (const ProcessLaunchError& error) {
    continuation.yield(ProcessStreamEvent::failedToStart(error.what()));
    continuation.finish();
    return std::move(events);
  }
  merged.write.reset();

  auto child = std::make_shared<Child>(pid);
  if (cancellation) cancellation->attach(child);
  continuation.onTermination([cancellation, child](StreamTermination why) {
    if (why != StreamTermination::canceled) return;
    if (cancellation) {
      cancellation->cancel();
    } else {
      child->terminate();
    }
  });

  try {
    std::thread(readStream, child, std::move(merged.read), continuation).detach();
  } catch (const std::system_error& error) {
    child->killAndReap();
    continuation.yield(ProcessStreamEvent::failedToStart(error.what()));
    continuation.finish();
  }
  return std::move(events);
}

}  // namespace bnch
