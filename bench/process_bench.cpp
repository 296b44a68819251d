// Throughput, memory and latency of the live process runner.
//
// 1. run() of a child writing 256 MiB to standard output and 256 MiB to standard
//    error at the same time, against `cat` moving the same bytes to /dev/null in
//    the same run (best of two each). Target: at least half of cat's throughput.
//    A second baseline collects the same bytes into memory with the plainest
//    possible reader (two threads, blocking reads, no poll): where touching fresh
//    memory is slow (virtual machines), it shows what collecting itself costs.
//    A third figure is the floor any collector that returns strings pays there:
//    appending the same bytes to two strings with no process at all, and cat's
//    time plus that floor.
// 2. Peak resident memory of this process against the bytes run() collected.
//    Target: below 1.2x.
// 3. stream() latency: a line written to `cat`'s input until the runner yields it
//    (the whole round trip, so an upper bound). Target: median below 1 ms.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine/platform/live_process_runner.h"

namespace {

using bnch::LiveProcessRunner;
using bnch::ProcessRequest;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kBytes = 256u * 1024 * 1024;
constexpr double kMiB = 1024.0 * 1024.0;

ProcessRequest shell(const std::string& script) { return {.executable = "/bin/sh", .arguments = {"-c", script}}; }

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double peakResidentBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
#if defined(__APPLE__)
  return static_cast<double>(usage.ru_maxrss);  // bytes
#else
  return static_cast<double>(usage.ru_maxrss) * 1024.0;  // KiB
#endif
}

// Seconds to append the bytes run() collects to two strings in 64 KiB pieces,
// with no process and no pipe: what holding the output in memory costs here.
double timeInMemoryAppend() {
  const std::vector<char> piece(64 * 1024, 'x');
  const auto start = Clock::now();
  std::string out;
  std::string err;
  for (std::size_t appended = 0; appended < kBytes; appended += piece.size()) {
    out.append(piece.data(), piece.size());
    err.append(piece.data(), piece.size());
  }
  const double seconds = secondsSince(start);
  if (out.size() != kBytes || err.size() != kBytes) std::exit(1);
  return seconds;
}

// Seconds for cat to move both halves to /dev/null, as the runner's child writes them.
double timeCat(LiveProcessRunner& runner) {
  const std::string half = "head -c " + std::to_string(kBytes) + " /dev/zero | cat > /dev/null";
  const auto start = Clock::now();
  const auto result = runner.run(shell(half + " & " + half + "; wait"));
  const double seconds = secondsSince(start);
  if (result.exitCode != 0) {
    std::fprintf(stderr, "baseline failed with %d\n", result.exitCode);
    std::exit(1);
  }
  return seconds;
}

// Seconds for run() to collect both halves.
double timeRun(LiveProcessRunner& runner) {
  const std::string head = "head -c " + std::to_string(kBytes) + " /dev/zero";
  const auto start = Clock::now();
  const auto result = runner.run(shell(head + " & " + head + " >&2; wait"));
  const double seconds = secondsSince(start);
  if (result.exitCode != 0 || result.stdOut.size() != kBytes || result.stdErr.size() != kBytes) {
    std::fprintf(stderr, "run() collected %zu + %zu bytes, exit %d\n", result.stdOut.size(), result.stdErr.size(),
                 result.exitCode);
    std::exit(1);
  }
  return seconds;
}

// Seconds for two threads with blocking reads to collect both halves into strings.
double timePlainCollector() {
  const std::string head = "head -c " + std::to_string(kBytes) + " /dev/zero";
  const std::string script = head + " & " + head + " >&2; wait";
  int out[2];
  int err[2];
  if (pipe(out) != 0 || pipe(err) != 0) std::exit(1);
  for (int fd : {out[0], out[1], err[0], err[1]}) fcntl(fd, F_SETFD, FD_CLOEXEC);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  const char* argv[] = {"/bin/sh", "-c", script.c_str(), nullptr};
  const auto start = Clock::now();
  pid_t pid;
  if (posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), nullptr) != 0) std::exit(1);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  std::string outBytes;
  std::string errBytes;
  const auto drain = [](int fd, std::string& into) {
    std::vector<char> buffer(64 * 1024);
    for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) > 0;) into.append(buffer.data(), n);
    close(fd);
  };
  std::thread outReader(drain, out[0], std::ref(outBytes));
  drain(err[0], errBytes);
  outReader.join();
  int status = 0;
  waitpid(pid, &status, 0);
  const double seconds = secondsSince(start);
  if (outBytes.size() != kBytes || errBytes.size() != kBytes) std::exit(1);
  return seconds;
}

// Round trips of one line through `cat`, which reads our standard input.
std::vector<double> streamLatencies(LiveProcessRunner& runner, int lines) {
  int input[2];
  if (pipe(input) != 0) std::exit(1);
  // Only the read end may reach the child: with the write end, cat would never see end of input.
  fcntl(input[1], F_SETFD, FD_CLOEXEC);
  const int savedStdin = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
  dup2(input[0], STDIN_FILENO);  // the child inherits standard input
  close(input[0]);

  auto cancellation = std::make_shared<bnch::LiveProcessCancellation>();
  auto stream = runner.stream({.executable = "/bin/cat"}, cancellation);
  dup2(savedStdin, STDIN_FILENO);
  close(savedStdin);

  std::vector<double> latencies;
  for (int i = 0; i < lines; ++i) {
    const std::string line = "line " + std::to_string(i) + "\n";
    const auto start = Clock::now();
    if (write(input[1], line.data(), line.size()) != static_cast<ssize_t>(line.size())) std::exit(1);
    const auto event = stream.next();
    latencies.push_back(secondsSince(start));
    if (!event || !std::holds_alternative<bnch::ProcessStreamEvent::Line>(event->value)) {
      std::fprintf(stderr, "stream ended early\n");
      std::exit(1);
    }
  }
  close(input[1]);  // cat sees end of input and exits
  stream.collect();
  std::sort(latencies.begin(), latencies.end());
  return latencies;
}

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  LiveProcessRunner runner;

  std::printf("process_bench: %zu MiB to stdout and %zu MiB to stderr at once\n", kBytes >> 20, kBytes >> 20);
  double catSeconds = timeCat(runner);
  double runSeconds = timeRun(runner);
  catSeconds = std::min(catSeconds, timeCat(runner));
  runSeconds = std::min(runSeconds, timeRun(runner));
  const double peak = peakResidentBytes();  // before the plain collector adds its own
  const double plainSeconds = std::min(timePlainCollector(), timePlainCollector());
  const double memorySeconds = std::min(timeInMemoryAppend(), timeInMemoryAppend());

  const double totalMiB = 2.0 * kBytes / kMiB;
  const double catThroughput = totalMiB / catSeconds;
  const double runThroughput = totalMiB / runSeconds;
  const double plainThroughput = totalMiB / plainSeconds;
  const double ratio = runThroughput / catThroughput;
  const double plainRatio = runThroughput / plainThroughput;
  std::printf("  cat to /dev/null:  %8.1f MiB/s (%.3f s, best of 2)\n", catThroughput, catSeconds);
  std::printf("  run() collecting:  %8.1f MiB/s (%.3f s, best of 2)\n", runThroughput, runSeconds);
  std::printf("  plain collector:   %8.1f MiB/s (%.3f s, best of 2; two threads, blocking reads)\n", plainThroughput,
              plainSeconds);
  std::printf("  throughput ratio:  %8.2f of cat (target >= 0.5), %.2f of the plain collector\n", ratio, plainRatio);
  const double floorThroughput = totalMiB / (catSeconds + memorySeconds);
  std::printf("  in-memory append:  %8.1f MiB/s for %.0f MiB, no process (%.3f s, best of 2)\n",
              totalMiB / memorySeconds, totalMiB, memorySeconds);
  std::printf("  cat + append:      %8.1f MiB/s; run() reaches %.2f of it\n", floorThroughput,
              runThroughput / floorThroughput);

  const double memoryRatio = peak / (2.0 * kBytes);
  std::printf("  peak resident:     %8.1f MiB for %.0f MiB collected by run(), %.2fx (target < 1.2x)\n", peak / kMiB,
              totalMiB, memoryRatio);

  const auto latencies = streamLatencies(runner, 200);
  const double medianUs = latencies[latencies.size() / 2] * 1e6;
  const double p95Us = latencies[latencies.size() * 95 / 100] * 1e6;
  std::printf("  stream() line round trip through cat: median %.1f us, p95 %.1f us over %zu lines (target < 1000 us)\n",
              medianUs, p95Us, latencies.size());

  std::printf(
      "RESULT run_mib_s=%.1f cat_mib_s=%.1f plain_collector_mib_s=%.1f throughput_ratio=%.2f "
      "ratio_to_plain_collector=%.2f in_memory_append_mib_s=%.1f ratio_to_cat_plus_append=%.2f peak_memory_ratio=%.2f "
      "stream_latency_median_us=%.1f stream_latency_p95_us=%.1f\n",
      runThroughput, catThroughput, plainThroughput, ratio, plainRatio, totalMiB / memorySeconds,
      runThroughput / floorThroughput, memoryRatio, medianUs, p95Us);
  return 0;
}
