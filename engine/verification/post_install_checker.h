#pragma once

#include <optional>
#include <string>

#include "engine/platform/file_system_operating.h"
#include "engine/platform/shell_runner.h"
#include "engine/verification/post_install_check.h"

namespace bnch {

// Confirms right after an install reported success that its effect is there: an
// app bundle in /Applications or ~/Applications, a command on the login shell's
// PATH, an executable file, or a folder entry with a given prefix.
//
// `fs` is borrowed and must outlive the checker. check() blocks while it runs its
// one command (for `command` checks), may be called from any thread, and never
// throws: a failure is a sentence for the user, and so is a command that did not
// answer within verificationCommandTimeLimit (never a pass).
class PostInstallChecker {
 public:
  PostInstallChecker(ShellRunner shell, FileSystemOperating& fs) : shell_(std::move(shell)), fs_(fs) {}

  // Nothing when the check passed, else the sentence that says what is missing.
  std::optional<std::string> check(const PostInstallCheck& postInstallCheck) const;

  const ShellRunner& shell() const { return shell_; }
  FileSystemOperating& fs() const { return fs_; }

 private:
  // Nothing when the login shell did not answer within its time limit.
  std::optional<bool> commandResolves(const std::string& name) const;

  ShellRunner shell_;
  FileSystemOperating& fs_;
};

}  // namespace bnch
