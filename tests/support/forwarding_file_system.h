#pragma once

#include <memory>

#include "engine/platform/file_system.h"

namespace bnch::testing {

// A file system that passes every call to an inner one, as LevelDB's EnvWrapper
// does: a decorator derives from it and overrides only what it changes.
class ForwardingFileSystem : public FileSystemOperating {
 public:
  explicit ForwardingFileSystem(std::shared_ptr<FileSystemOperating> inner) : inner_(std::move(inner)) {}

  FileSystemOperating& inner() { return *inner_; }

  std::filesystem::path homeDirectory() const override { return inner_->homeDirectory(); }
  bool fileExists(const std::filesystem::path& path) const override { return inner_->fileExists(path); }
  bool directoryExists(const std::filesystem::path& path) const override { return inner_->directoryExists(path); }
  bool isExecutableFile(const std::filesystem::path& path) const override { return inner_->isExecutableFile(path); }
  std::vector<std::string> contentsOfDirectory(const std::filesystem::path& path) const override {
    return inner_->contentsOfDirectory(path);
  }
  void createDirectory(const std::filesystem::path& path, bool withIntermediateDirectories) override {
    inner_->createDirectory(path, withIntermediateDirectories);
  }
  void removeItem(const std::filesystem::path& path) override { inner_->removeItem(path); }
  void moveItem(const std::filesystem::path& from, const std::filesystem::path& to) override {
    inner_->moveItem(from, to);
  }
  void copyItem(const std::filesystem::path& from, const std::filesystem::path& to) override {
    inner_->copyItem(from, to);
  }
  FileAttributes attributesOfItem(const std::filesystem::path& path) const override {
    return inner_->attributesOfItem(path);
  }
  void setAttributes(const FileAttributes& attributes, const std::filesystem::path& path) override {
    inner_->setAttributes(attributes, path);
  }
  std::string readString(const std::filesystem::path& path, std::uint64_t sizeLimit = defaultReadLimit) const override {
    return inner_->readString(path, sizeLimit);
  }
  std::string readData(const std::filesystem::path& path, std::uint64_t sizeLimit = defaultReadLimit) const override {
    return inner_->readData(path, sizeLimit);
  }
  void readChunks(const std::filesystem::path& path, std::uint64_t sizeLimit,
                  const std::function<void(std::string_view)>& consume) const override {
    inner_->readChunks(path, sizeLimit, consume);
  }
  void writeData(const std::string& bytes, const std::filesystem::path& path) override {
    inner_->writeData(bytes, path);
  }
  void writeData(const std::string& bytes, const std::filesystem::path& path, std::uint32_t permissions) override {
    inner_->writeData(bytes, path, permissions);
  }
  void write(const std::string& text, const std::filesystem::path& path, bool atomically) override {
    inner_->write(text, path, atomically);
  }
  std::filesystem::path applicationSupportDirectory() override { return inner_->applicationSupportDirectory(); }
  std::filesystem::path cachesDirectory() override { return inner_->cachesDirectory(); }
  std::optional<std::int64_t> volumeAvailableCapacity(const std::filesystem::path& path) const override {
    return inner_->volumeAvailableCapacity(path);
  }

 protected:
  // For a decorator that can build its inner file system only once it exists.
  ForwardingFileSystem() = default;
  void setInner(std::shared_ptr<FileSystemOperating> inner) { inner_ = std::move(inner); }

 private:
  std::shared_ptr<FileSystemOperating> inner_;
};

}  // namespace bnch::testing
