#include "engine/remediation/privileged_executor.h"

#include <cstdlib>
#include <utility>

#include "engine/platform/apple_script.h"
#include "engine/platform/uuid.h"

namespace bnch {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t privateMode = 0700;

}  // namespace

PrivilegeContext::PrivilegeContext(std::shared_ptr<FileSystemOperating> fs, fs::path folder, Environment environment)
    : fs_(std::move(fs)), folder_(std::move(folder)), environment_(std::move(environment)) {}

PrivilegeContext::~PrivilegeContext() { cleanup(); }

PrivilegeContext::PrivilegeContext(PrivilegeContext&& other) noexcept
    : fs_(std::move(other.fs_)), folder_(std::move(other.folder_)), environment_(std::move(other.environment_)) {
  other.fs_.reset();
}

PrivilegeContext& PrivilegeContext::operator=(PrivilegeContext&& other) noexcept {
  if (this != &other) {
    cleanup();
    fs_ = std::move(other.fs_);
    folder_ = std::move(other.folder_);
    environment_ = std::move(other.environment_);
    other.fs_.reset();
  }
  return *this;
}

void PrivilegeContext::cleanup() {
  if (!fs_) return;
  try {
    fs_->removeItem(folder_);
  } catch (...) {
    // A leftover folder holds no secret; the password is never written.
  }
  fs_.reset();
}

PrivilegedExecutor::Options PrivilegedExecutor::Options::fromProcess(std::string dialogTitle) {
  Options options;
  const char* temporary = std::getenv("TMPDIR");
  options.temporaryDirectory = temporary != nullptr && temporary[0] != '\0' ? temporary : "/tmp";
  if (const char* path = std::getenv("PATH")) options.applicationPath = path;
  options.dialogTitle = std::move(dialogTitle);
  return options;
}

PrivilegedExecutor::PrivilegedExecutor(std::shared_ptr<FileSystemOperating> fs, Options options)
    : fs_(std::move(fs)), options_(std::move(options)) {}

std::string PrivilegedExecutor::askpassScript(const std::string& prompt, const std::string& title) {
  return "#!/bin/bash\n"
         "osascript <<'EOF'\n"
         "activate\n"
         "display dialog \"" +
         appleScriptEscape(prompt) + "\" default answer \"\" with hidden answer with title \"" +
         appleScriptEscape(title) +
         "\" with icon caution buttons {\"Cancel\", \"OK\"} default button \"OK\"\n"
         "return text returned of result\n"
         "EOF";
}

std::string PrivilegedExecutor::sudoWrapperScript() { return "#!/bin/bash\nexec /usr/bin/sudo -A \"$@\""; }

namespace {

// Best effort: a folder that cannot be listed or removed is left as it is.
void removeStaleFolders(FileSystemOperating& fs, const fs::path& temporary) {
  std::vector<std::string> names;
  try {
    names = fs.contentsOfDirectory(temporary);
  } catch (const FileSystemError&) {
    return;
  }
  const auto cutoff = std::chrono::system_clock::now() - PrivilegedExecutor::leftoverAge;
  for (const auto& name : names) {
    if (!name.starts_with(PrivilegedExecutor::folderPrefix)) continue;
    try {
      const auto modified = fs.attributesOfItem(temporary / name).modificationDate;
      if (modified && *modified < cutoff) fs.removeItem(temporary / name);
    } catch (const FileSystemError&) {
      // Another user's, or already gone.
    }
  }
}

}  // namespace

PrivilegeContext PrivilegedExecutor::prepare(const std::string& prompt) const {
  removeStaleFolders(*fs_, options_.temporaryDirectory);
  const fs::path folder = options_.temporaryDirectory / (std::string(folderPrefix) + UUID::random().uuidString());
  fs_->createDirectory(folder, true);
  const fs::path askpass = folder / "askpass.sh";
  // From here on the context owns the folder: a failure below removes it.
  PrivilegeContext context(fs_, folder,
                           {{"PATH", folder.string() + ":" + options_.applicationPath.value_or(fallbackPath)},
                            {"SUDO_ASKPASS", askpass.string()}});
  FileAttributes privateAttributes;
  privateAttributes.posixPermissions = privateMode;
  fs_->setAttributes(privateAttributes, folder);
  fs_->write(askpassScript(prompt, options_.dialogTitle), askpass, true);
  fs_->setAttributes(privateAttributes, askpass);
  const fs::path sudo = folder / "sudo";
  fs_->write(sudoWrapperScript(), sudo, true);
  fs_->setAttributes(privateAttributes, sudo);
  return context;
}

}  // namespace bnch
