#pragma once

#include <string>
#include <vector>

#include "engine/config/product_names.h"
#include "engine/platform/file_system_operating.h"
#include "engine/remediation/writer_report.h"

namespace bnch {

// The concrete shell start-up blocks: the full shell set-up (~/.zprofile,
// ~/.zshrc, ~/.env), the PATH and activation steps that follow tool installs, and
// the check whether the shell set-up is in place.
//
// Every change goes through FileAppendWriter (first backup kept, atomic writes,
// nothing appended twice). Nothing throws: each file gets one progress line, and
// a failure is a line beginning "Couldn't" that names the file. A file that exists
// but cannot be read is left alone and reported. The file system must outlive the
// configurator; calls may come from any thread, but two calls must not change the
// same files at once.
class ShellConfigurator {
 public:
  explicit ShellConfigurator(FileSystemOperating& fs, const ProductNames& product);

  // The full shell set-up; `succeeded` is false when any file failed.
  WriterReport configure() const;
  // One line each; mise returns two (login shims first, then interactive).
  std::vector<std::string> configureUvPath() const;
  std::vector<std::string> configureMise() const;
  std::vector<std::string> configureCargoPath() const;

  // True only when ~/.zprofile has a non-comment line containing
  // "typeset -U path PATH", ~/.zshrc has a non-comment line containing
  // `source "$HOME/.env"`, and ~/.env exists. Unreadable files count as not
  // configured. Reads only.
  bool isConfigured() const;

 private:
  struct Step;
  std::string runStep(const Step& step) const;

  FileSystemOperating* fs_;
  ProductNames product_;
};

}  // namespace bnch
