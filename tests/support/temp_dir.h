#pragma once

#include <filesystem>
#include <string>

namespace bnch::testing {

// A fresh private folder under $TMPDIR (or /tmp), removed with everything in it
// when the object goes away. Move-only.
class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "bnch-test");
  ~TempDir();
  TempDir(TempDir&& other) noexcept;
  TempDir& operator=(TempDir&& other) noexcept;
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }

 private:
  void removeNow() noexcept;
  std::filesystem::path path_;
};

}  // namespace bnch::testing
