#pragma once

#include <memory>

#include "engine/platform/file_system_operating.h"

namespace bnch::testing {

// A file system that passes every call to an inner one, as LevelDB's EnvWrapper
// does: a decorator derives from it and overrides only what it changes. Every path
// goes in through inward() and comes back through outward(), and every
// FileSystemError leaves through outwardError(), so a decorator that moves the whole
// tree elsewhere (RootedFileSystem) overrides those three and nothing else.
class ForwardingFileSystem : public FileSystemOperating {
 public:
  explicit ForwardingFileSystem(std::shared_ptr<FileSystemOperating> inner) : inner_(std::move(inner)) {}

  FileSystemOperating& inner() { return *inner_; }
  const FileSystemOperating& inner() const { return *inner_; }

  std::filesystem::path homeDirectory() const override {
    return forwarding([&] { return outward(inner_->homeDirectory()); });
  }
  bool fileExists(const std::filesystem::path& path) const override {
    return forwarding([&] { return inner_->fileExists(inward(path)); });
  }
  bool directoryExists(const std::filesystem::path& path) const override {
    return forwarding([&] { return inner_->directoryExists(inward(path)); });
  }
  bool isExecutableFile(const std::filesystem::path& path) const override {
    return forwarding([&] { return inner_->isExecutableFile(inward(path)); });
  }
  std::vector<std::string> contentsOfDirectory(const std::filesystem::path& path) const override {
    return forwarding([&] { return inner_->contentsOfDirectory(inward(path)); });
  }
  void createDirectory(const std::filesystem::path& path, bool withIntermediateDirectories) override {
    forwarding([&] { inner_->createDirectory(inward(path), withIntermediateDirectories); });
  }
  void removeItem(const std::filesystem::path& path) override {
    forwarding([&] { inner_->removeItem(inward(path)); });
  }
  void moveItem(const std::filesystem::path& from, const std::filesystem::path& to) override {
    forwarding([&] { inner_->moveItem(inward(from), inward(to)); });
  }
  void copyItem(const std::filesystem::path& from, const std::filesystem::path& to) override {
    forwarding([&] { inner_->copyItem(inward(from), inward(to)); });
  }
  FileAttributes attributesOfItem(const std::filesystem::path& path) const override {
    return forwarding([&] { return inner_->attributesOfItem(inward(path)); });
  }
  void setAttributes(const FileAttributes& attributes, const std::filesystem::path& path) override {
    forwarding([&] { inner_->setAttributes(attributes, inward(path)); });
  }
  std::string readString(const std::filesystem::path& path, std::uint64_t sizeLimit = defaultReadLimit) const override {
    return forwarding([&] { return inner_->readString(inward(path), sizeLimit); });
  }
  std::string readData(const std::filesystem::path& path, std::uint64_t sizeLimit = defaultReadLimit) const override {
    return forwarding([&] { return inner_->readData(inward(path), sizeLimit); });
  }
  void readChunks(const std::filesystem::path& path, std::uint64_t sizeLimit,
                  const std::function<void(std::string_view)>& consume) const override {
    forwarding([&] { inner_->readChunks(inward(path), sizeLimit, consume); });
  }
  void writeData(const std::string& bytes, const std::filesystem::path& path) override {
    forwarding([&] { inner_->writeData(bytes, inward(path)); });
  }
  void writeData(const std::string& bytes, const std::filesystem::path& path, std::uint32_t permissions) override {
    forwarding([&] { inner_->writeData(bytes, inward(path), permissions); });
  }
  void write(const std::string& text, const std::filesystem::path& path, bool atomically) override {
    forwarding([&] { inner_->write(text, inward(path), atomically); });
  }
  std::filesystem::path applicationSupportDirectory() override {
    return forwarding([&] { return outward(inner_->applicationSupportDirectory()); });
  }
  std::filesystem::path cachesDirectory() override {
    return forwarding([&] { return outward(inner_->cachesDirectory()); });
  }
  std::optional<std::int64_t> volumeAvailableCapacity(const std::filesystem::path& path) const override {
    return forwarding([&] { return inner_->volumeAvailableCapacity(inward(path)); });
  }

 protected:
  // For a decorator that can build its inner file system only once it exists.
  ForwardingFileSystem() = default;
  void setInner(std::shared_ptr<FileSystemOperating> inner) { inner_ = std::move(inner); }

  // The path the inner file system is given for one the caller gave.
  virtual std::filesystem::path inward(const std::filesystem::path& path) const { return path; }
  // The caller's path for one the inner file system handed back.
  virtual std::filesystem::path outward(const std::filesystem::path& path) const { return path; }
  // The error the caller sees for one the inner file system threw.
  virtual FileSystemError outwardError(const FileSystemError& error) const { return error; }

  // Runs one call on the inner file system, its errors leaving through outwardError().
  template <typename Action>
  auto forwarding(Action&& action) const -> decltype(action()) {
    try {
      return action();
    } catch (const FileSystemError& error) {
      throw outwardError(error);
    }
  }

 private:
  std::shared_ptr<FileSystemOperating> inner_;
};

}  // namespace bnch::testing
