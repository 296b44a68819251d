#include "tests/support/fault_injecting_file_system.h"

#include <unistd.h>

#include <cerrno>

namespace bnch::testing {
namespace fs = std::filesystem;

struct FaultInjectingFileSystem::State {
  mutable std::mutex mutex;
  int count = 0;
  std::optional<int> failAt;
  bool failAfterwards = false;  // failFromOperation: every later operation fails too
  int error = EIO;
  FaultKind kind = FaultKind::beforeOperation;
  bool countReads = false;
  bool fired = false;
  bool hasWriter = false;  // the inner file system writes through writeBytes()
};

namespace {

// The write in progress on this thread that must run out of space, and how many
// bytes it may still write.
thread_local const void* tArmedState = nullptr;
thread_local std::size_t tBudget = 0;
thread_local int tError = 0;

class ArmedWrite {
 public:
  ArmedWrite(const void* state, std::size_t budget, int error) {
    tArmedState = state;
    tBudget = budget;
    tError = error;
  }
  ~ArmedWrite() { tArmedState = nullptr; }
  ArmedWrite(const ArmedWrite&) = delete;
  ArmedWrite& operator=(const ArmedWrite&) = delete;
};

}  // namespace

FaultInjectingFileSystem::FaultInjectingFileSystem(std::shared_ptr<FileSystemOperating> inner)
    : ForwardingFileSystem(std::move(inner)), state_(std::make_shared<State>()) {}

FaultInjectingFileSystem::FaultInjectingFileSystem(
    const std::function<std::shared_ptr<FileSystemOperating>(ByteWriter)>& makeInner)
    : state_(std::make_shared<State>()) {
  const void* identity = state_.get();
  ByteWriter writer = [identity](int fd, const void* bytes, std::size_t size) -> ssize_t {
    if (tArmedState != identity) return ::write(fd, bytes, size);
    if (tBudget == 0) {
      errno = tError;
      return -1;
    }
    std::size_t allowed = size < tBudget ? size : tBudget;
    ssize_t wrote = ::write(fd, bytes, allowed);
    if (wrote > 0) tBudget -= static_cast<std::size_t>(wrote);
    return wrote;
  };
  setInner(makeInner(std::move(writer)));
  state_->hasWriter = true;
}

void FaultInjectingFileSystem::failOperation(int n, int error, FaultKind kind) {
  std::lock_guard lock(state_->mutex);
  state_->count = 0;
  state_->failAt = n;
  state_->failAfterwards = false;
  state_->error = error;
  state_->kind = kind;
  state_->fired = false;
}

void FaultInjectingFileSystem::failFromOperation(int n, int error, FaultKind kind) {
  failOperation(n, error, kind);
  std::lock_guard lock(state_->mutex);
  state_->failAfterwards = true;
}

void FaultInjectingFileSystem::clearFault() {
  std::lock_guard lock(state_->mutex);
  state_->failAt.reset();
}

void FaultInjectingFileSystem::setCountReads(bool countReads) {
  std::lock_guard lock(state_->mutex);
  state_->countReads = countReads;
}

int FaultInjectingFileSystem::operationCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->count;
}

void FaultInjectingFileSystem::resetCount() {
  std::lock_guard lock(state_->mutex);
  state_->count = 0;
}

bool FaultInjectingFileSystem::faultFired() const {
  std::lock_guard lock(state_->mutex);
  return state_->fired;
}

FaultInjectingFileSystem::Verdict FaultInjectingFileSystem::count(bool isRead, bool isWrite) const {
  std::lock_guard lock(state_->mutex);
  if (isRead && !state_->countReads) return Verdict::proceed;
  int n = ++state_->count;
  if (!state_->failAt) return Verdict::proceed;
  bool hit = state_->failAfterwards ? n >= *state_->failAt : n == *state_->failAt;
  if (!hit) return Verdict::proceed;
  state_->fired = true;
  if (isWrite && state_->kind == FaultKind::partialWrite && state_->hasWriter) return Verdict::failMidWrite;
  return Verdict::fail;
}

int FaultInjectingFileSystem::currentError() const {
  std::lock_guard lock(state_->mutex);
  return state_->error;
}

void FaultInjectingFileSystem::before(FileOperation operation, const fs::path& item, bool isRead) const {
  if (count(isRead, false) != Verdict::proceed) throw makeFileSystemError(currentError(), operation, item);
}

template <typename Action>
void FaultInjectingFileSystem::writing(const fs::path& item, std::size_t size, Action&& action) {
  Verdict verdict = count(false, true);
  // An empty write never reaches the byte writer, so it can only fail up front.
  if (verdict == Verdict::fail || (verdict == Verdict::failMidWrite && size == 0)) {
    throw makeFileSystemError(currentError(), FileOperation::save, item);
  }
  if (verdict == Verdict::failMidWrite) {
    ArmedWrite armed(state_.get(), size / 2, currentError());
    action();
    return;
  }
  action();
}

std::vector<std::string> FaultInjectingFileSystem::contentsOfDirectory(const fs::path& path) const {
  before(FileOperation::listFolder, path, true);
  return ForwardingFileSystem::contentsOfDirectory(path);
}

void FaultInjectingFileSystem::createDirectory(const fs::path& path, bool withIntermediateDirectories) {
  before(FileOperation::createFolder, path);
  ForwardingFileSystem::createDirectory(path, withIntermediateDirectories);
}

void FaultInjectingFileSystem::removeItem(const fs::path& path) {
  before(FileOperation::remove, path);
  ForwardingFileSystem::removeItem(path);
}

void FaultInjectingFileSystem::moveItem(const fs::path& from, const fs::path& to) {
  before(FileOperation::move, from);
  ForwardingFileSystem::moveItem(from, to);
}

void FaultInjectingFileSystem::copyItem(const fs::path& from, const fs::path& to) {
  before(FileOperation::copy, from);
  ForwardingFileSystem::copyItem(from, to);
}

FileAttributes FaultInjectingFileSystem::attributesOfItem(const fs::path& path) const {
  before(FileOperation::read, path, true);
  return ForwardingFileSystem::attributesOfItem(path);
}

void FaultInjectingFileSystem::setAttributes(const FileAttributes& attributes, const fs::path& path) {
  before(FileOperation::setAttributes, path);
  ForwardingFileSystem::setAttributes(attributes, path);
}

std::string FaultInjectingFileSystem::readString(const fs::path& path, std::uint64_t sizeLimit) const {
  before(FileOperation::read, path, true);
  return ForwardingFileSystem::readString(path, sizeLimit);
}

std::string FaultInjectingFileSystem::readData(const fs::path& path, std::uint64_t sizeLimit) const {
  before(FileOperation::read, path, true);
  return ForwardingFileSystem::readData(path, sizeLimit);
}

void FaultInjectingFileSystem::readChunks(const fs::path& path, std::uint64_t sizeLimit,
                                          const std::function<void(std::string_view)>& consume) const {
  before(FileOperation::read, path, true);
  ForwardingFileSystem::readChunks(path, sizeLimit, consume);
}

void FaultInjectingFileSystem::writeData(const std::string& bytes, const fs::path& path) {
  writing(path, bytes.size(), [&] { ForwardingFileSystem::writeData(bytes, path); });
}

void FaultInjectingFileSystem::writeData(const std::string& bytes, const fs::path& path, std::uint32_t permissions) {
  writing(path, bytes.size(), [&] { ForwardingFileSystem::writeData(bytes, path, permissions); });
}

void FaultInjectingFileSystem::write(const std::string& text, const fs::path& path, bool atomically) {
  writing(path, text.size(), [&] { ForwardingFileSystem::write(text, path, atomically); });
}

fs::path FaultInjectingFileSystem::applicationSupportDirectory() {
  before(FileOperation::createFolder, homeDirectory() / "Library" / "Application Support");
  return ForwardingFileSystem::applicationSupportDirectory();
}

fs::path FaultInjectingFileSystem::cachesDirectory() {
  before(FileOperation::createFolder, homeDirectory() / "Library" / "Caches");
  return ForwardingFileSystem::cachesDirectory();
}

}  // namespace bnch::testing
