#pragma once

#include <optional>
#include <string>

#include "engine/probes/probe_process.h"

namespace bnch {

// Finds the active developer folder (Apple's Command Line Tools or Xcode) by
// asking `xcode-select -p`. Used by the profiler and, on its own, after the
// Command Line Tools install. Blocks until xcode-select answers or its time
// limit passes; safe from any thread.
class XcodeCLTProbe {
 public:
  static constexpr const char* xcodeSelectPath = "/usr/bin/xcode-select";

  explicit XcodeCLTProbe(ProbeProcess process) : process_(std::move(process)) {}
  explicit XcodeCLTProbe(const ShellRunner& shell) : process_(shell.process()) {}

  // The folder's absolute path, or nothing when xcode-select cannot start, does
  // not answer, exits non-zero, or prints nothing, a text with a space or a text
  // that is not UTF-8.
  std::optional<std::string> probe() const;

  // The rule applied to xcode-select's answer.
  static std::optional<std::string> developerFolder(const ProbeRun& run);

 private:
  ProbeProcess process_;
};

}  // namespace bnch
