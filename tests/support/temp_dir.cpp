#include "tests/support/temp_dir.h"

#include <stdlib.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <utility>

namespace bnch::testing {
namespace fs = std::filesystem;

TempDir::TempDir(const std::string& prefix) {
  const char* base = std::getenv("TMPDIR");
  fs::path folder = (base != nullptr && base[0] != '\0') ? fs::path(base) : fs::path("/tmp");
  std::string pattern = (folder / (prefix + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
  }
  // Canonical, so that paths compared in tests match what the kernel reports.
  path_ = fs::canonical(pattern);
}

TempDir::~TempDir() { removeNow(); }

TempDir::TempDir(TempDir&& other) noexcept : path_(std::exchange(other.path_, {})) {}

TempDir& TempDir::operator=(TempDir&& other) noexcept {
  if (this != &other) {
    removeNow();
    path_ = std::exchange(other.path_, {});
  }
  return *this;
}

void TempDir::removeNow() noexcept {
  if (path_.empty()) return;
  std::error_code ignored;
  // Tests make folders read-only; give permissions back so that everything goes.
  for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ignored);
       !ignored && it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
  path_.clear();
}

}  // namespace bnch::testing
