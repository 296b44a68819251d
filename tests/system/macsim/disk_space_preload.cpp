// Preloaded into every process of the simulated Mac: a volume's free space is
// the scenario's figure (the number in /.macsim/disk_free_bytes), not the
// host's, so a readiness check sees the same disk on every machine that runs
// the tests. The rest of what statvfs answers comes from the host.
#include <dlfcn.h>
#include <sys/statvfs.h>

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

template <typename Function>
Function next(const char* name) {
  Function function = nullptr;
  void* symbol = ::dlsym(RTLD_NEXT, name);
  std::memcpy(&function, &symbol, sizeof function);
  return function;
}

// The scenario's figure; none when the file is missing or not a number.
std::optional<unsigned long long> simulatedFreeBytes() {
  static const std::optional<unsigned long long> bytes = []() -> std::optional<unsigned long long> {
    std::FILE* file = std::fopen("/.macsim/disk_free_bytes", "re");
    if (file == nullptr) return std::nullopt;
    unsigned long long value = 0;
    const bool read = std::fscanf(file, "%llu", &value) == 1;
    std::fclose(file);
    return read ? std::optional(value) : std::nullopt;
  }();
  return bytes;
}

template <typename Info>
int withSimulatedFreeSpace(int result, Info* info) {
  const std::optional<unsigned long long> bytes = simulatedFreeBytes();
  const unsigned long unit = info->f_frsize != 0 ? info->f_frsize : info->f_bsize;
  if (result != 0 || !bytes || unit == 0) return result;
  const auto blocks = static_cast<decltype(info->f_bavail)>(*bytes / unit);
  info->f_bavail = blocks;
  info->f_bfree = blocks;
  if (info->f_blocks < blocks) info->f_blocks = blocks;
  return result;
}

}  // namespace

extern "C" int statvfs(const char* path, struct statvfs* info) noexcept {
  static const auto real = next<int (*)(const char*, struct statvfs*)>("statvfs");
  if (real == nullptr) return -1;
  return withSimulatedFreeSpace(real(path, info), info);
}

extern "C" int statvfs64(const char* path, struct statvfs64* info) noexcept {
  static const auto real = next<int (*)(const char*, struct statvfs64*)>("statvfs64");
  if (real == nullptr) return -1;
  return withSimulatedFreeSpace(real(path, info), info);
}
