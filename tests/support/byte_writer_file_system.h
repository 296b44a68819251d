#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <utility>

#include "engine/platform/live_file_system.h"

namespace bnch::testing {

// Writes up to `count` bytes like POSIX write(2): returns the number written, or -1
// with errno set. Tests supply one to simulate a disk that fills up mid-write.
using ByteWriter = std::function<ssize_t(int fd, const void* bytes, std::size_t count)>;

// The live file system with the bytes of every file it writes (atomic and in-place
// writes) going through `writeBytes`; an empty writer is write(2) itself.
class ByteWriterFileSystem final : public LiveFileSystem {
 public:
  ByteWriterFileSystem(LiveFileSystemOptions options, ByteWriter writeBytes)
      : LiveFileSystem(std::move(options)), writeBytes_(std::move(writeBytes)) {}

 protected:
  ssize_t writeSome(int fd, const void* bytes, std::size_t count) const override {
    return writeBytes_ ? writeBytes_(fd, bytes, count) : LiveFileSystem::writeSome(fd, bytes, count);
  }

 private:
  ByteWriter writeBytes_;
};

}  // namespace bnch::testing
