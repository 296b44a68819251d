// SHA-256 of a 256 MiB package file: the product's way (stream the file through the
// live file system in 1 MiB chunks into OpenSSL's EVP) beside coreutils' sha256sum, both
// measured in this run on the same file (in the page cache for both). Best of three.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/platform/live_file_system.h"
#include "engine/platform/live_process_runner.h"
#include "engine/platform/sha256.h"
#include "engine/remediation/package_download.h"

namespace {

using Clock = std::chrono::steady_clock;

// Processor seconds used so far by this process and by its waited-for children.
double cpuSeconds() {
  rusage self{};
  rusage children{};
  ::getrusage(RUSAGE_SELF, &self);
  ::getrusage(RUSAGE_CHILDREN, &children);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(self.ru_utime) + seconds(self.ru_stime) + seconds(children.ru_utime) + seconds(children.ru_stime);
}

struct Timing {
  double wall = 1e9;
  double cpu = 1e9;
};

// Best of `runs` for wall-clock and processor time; the machine may be shared, and
// processor time is what the other load disturbs least.
template <class F>
Timing best(int runs, F&& work) {
  Timing timing;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    const double cpuStart = cpuSeconds();
    work();
    timing.cpu = std::min(timing.cpu, cpuSeconds() - cpuStart);
    timing.wall = std::min(timing.wall, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return timing;
}

}  // namespace

int main() {
  constexpr std::size_t size = 256u << 20;
  const char* temporary = std::getenv("TMPDIR");
  const std::string path = std::string(temporary != nullptr && temporary[0] != '\0' ? temporary : "/tmp") +
                           "/bnch-sha256-bench-" + std::to_string(::getpid()) + ".pkg";
  {
    std::vector<std::uint64_t> block(1 << 17);
    std::mt19937_64 random(42);
    std::ofstream out(path, std::ios::binary);
    for (std::size_t written = 0; written < size; written += block.size() * sizeof(std::uint64_t)) {
      for (auto& word : block) word = random();
      out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
    }
  }
  bnch::LiveFileSystem fs;
  bnch::LiveProcessRunner process;
  std::string ours;
  std::string theirs;
  const Timing oursTime = best(3, [&] {
    ours = bnch::sha256Hex([&](const std::function<void(std::string_view)>& consume) {
      fs.readChunks(path, bnch::PackageDownload::packageReadLimit, consume);
    });
  });
  const Timing theirsTime = best(
      3, [&] { theirs = process.run({.executable = "/usr/bin/sha256sum", .arguments = {path}}).stdOut.substr(0, 64); });
  std::remove(path.c_str());
  if (ours != theirs) {
    std::printf("digests differ: %s vs %s\n", ours.c_str(), theirs.c_str());
    return 1;
  }
  const double mib = static_cast<double>(size) / (1 << 20);
  std::printf("file: 256 MiB, digest %s\n", ours.c_str());
  std::printf("OpenSSL EVP (read + hash): wall %.3f s (%.0f MiB/s), cpu %.3f s\n", oursTime.wall, mib / oursTime.wall,
              oursTime.cpu);
  std::printf("sha256sum:                 wall %.3f s (%.0f MiB/s), cpu %.3f s\n", theirsTime.wall,
              mib / theirsTime.wall, theirsTime.cpu);
  std::printf("ratio sha256sum / ours: wall %.2f, cpu %.2f\n", theirsTime.wall / oursTime.wall,
              theirsTime.cpu / oursTime.cpu);
  std::printf("RESULT sha256_seconds=%.3f sha256sum_seconds=%.3f speedup=%.2f cpu_speedup=%.2f\n", oursTime.wall,
              theirsTime.wall, theirsTime.wall / oursTime.wall, theirsTime.cpu / oursTime.cpu);
  return 0;
}
