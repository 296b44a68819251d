#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "engine/platform/file_system_operating.h"
#include "engine/platform/live_file_system.h"
#include "tests/support/byte_writer_file_system.h"
#include "tests/support/forwarding_file_system.h"

namespace bnch::testing {

// Wraps a file system and makes its Nth operation fail, the way LevelDB's fault
// injecting Env wrappers do. Counted operations: createDirectory, removeItem,
// moveItem, copyItem, setAttributes, writeData, write, applicationSupportDirectory
// and cachesDirectory (they may create folders), and, when countReads is set,
// contentsOfDirectory, attributesOfItem, readString and readData too. Queries that
// cannot fail (fileExists, ...) are passed through uncounted by the forwarding base.
//
// Typical use: run the code once without a fault, read operationCount(), then run
// it again for every N in 1...count with failOperation(N, ENOSPC) and check that
// each failure is reported and leaves the files in a sound state.
//
// Fault kinds:
// - beforeOperation: the Nth operation throws FileSystemError(error) without
//   touching the disk.
// - partialWrite: when the Nth operation is a write, it really starts, writes half
//   of the bytes and then the disk "fills up" (the write fails with `error`).
//   This needs an inner file system built with this injector's byte writer, so
//   use the factory constructor. Other operations fail as with beforeOperation.
//
// Thread-safe; counting is global across threads.
class FaultInjectingFileSystem final : public ForwardingFileSystem {
 public:
  enum class FaultKind { beforeOperation, partialWrite };

  explicit FaultInjectingFileSystem(std::shared_ptr<FileSystemOperating> inner);
  // Builds the inner file system with a ByteWriter through which partialWrite
  // faults reach the real write path, e.g.
  //   FaultInjectingFileSystem fs([&](ByteWriter writer) {
  //     RootedFileSystem::Options options;
  //     options.writeBytes = std::move(writer);
  //     return std::make_shared<RootedFileSystem>(dir.path(), options);
  //   });
  explicit FaultInjectingFileSystem(const std::function<std::shared_ptr<FileSystemOperating>(ByteWriter)>& makeInner);

  // Fails the Nth counted operation from now on (1-based; the count restarts).
  void failOperation(int n, int error, FaultKind kind = FaultKind::beforeOperation);
  // Fails every counted operation from the Nth on (a disk that stays full).
  void failFromOperation(int n, int error, FaultKind kind = FaultKind::beforeOperation);
  void clearFault();
  void setCountReads(bool countReads);
  // Counted operations since construction or the last failOperation/resetCount.
  int operationCount() const;
  void resetCount();
  bool faultFired() const;

  std::vector<std::string> contentsOfDirectory(const std::filesystem::path& path) const override;
  void createDirectory(const std::filesystem::path& path, bool withIntermediateDirectories) override;
  void removeItem(const std::filesystem::path& path) override;
  void moveItem(const std::filesystem::path& from, const std::filesystem::path& to) override;
  void copyItem(const std::filesystem::path& from, const std::filesystem::path& to) override;
  FileAttributes attributesOfItem(const std::filesystem::path& path) const override;
  void setAttributes(const FileAttributes& attributes, const std::filesystem::path& path) override;
  std::string readString(const std::filesystem::path& path, std::uint64_t sizeLimit = defaultReadLimit) const override;
  std::string readData(const std::filesystem::path& path, std::uint64_t sizeLimit = defaultReadLimit) const override;
  void readChunks(const std::filesystem::path& path, std::uint64_t sizeLimit,
                  const std::function<void(std::string_view)>& consume) const override;
  void writeData(const std::string& bytes, const std::filesystem::path& path) override;
  void writeData(const std::string& bytes, const std::filesystem::path& path, std::uint32_t permissions) override;
  void write(const std::string& text, const std::filesystem::path& path, bool atomically) override;
  std::filesystem::path applicationSupportDirectory() override;
  std::filesystem::path cachesDirectory() override;

 private:
  struct State;
  enum class Verdict { proceed, fail, failMidWrite };
  Verdict count(bool isRead, bool isWrite) const;
  void before(FileOperation operation, const std::filesystem::path& item, bool isRead = false) const;
  int currentError() const;
  template <typename Action>
  void writing(const std::filesystem::path& item, std::size_t size, Action&& action);

  std::shared_ptr<State> state_;
};

}  // namespace bnch::testing
