// Runs a command in a bubblewrap sandbox over a laid-out scenario.
//
// Root callers get "root mode": no user namespace, setpriv drops to the scenario's uid/gid
// with macOS-like groups and no capabilities. Other callers get "userns mode". The host is
// never written: / is a private read-only tmpfs, host folders are bound read-only, and only
// the scenario folder and folders named by `share` are writable.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "layout.h"
#include "scenario.h"

namespace macsim {

struct SandboxOptions {
  std::vector<std::filesystem::path> readOnly;   // host folders visible at the same path
  std::vector<std::filesystem::path> readWrite;  // host folders writable at the same path
  std::map<std::string, std::string> env;        // overrides the scenario's environment
  std::filesystem::path fakesDir;                // bound read-only at /.macsim/fakes
  bool rootMode = false;
  bool interactive = false;  // keep the terminal session (macsim shell)
};

// The environment the command starts with (what a Finder-launched app sees on that Mac).
std::map<std::string, std::string> sandboxEnvironment(const Scenario& s, const SandboxOptions& o);

// The full bwrap argument list (without "bwrap" itself and without the command).
std::vector<std::string> bwrapArguments(const Scenario& s, const Layout& l, const SandboxOptions& o);

// Runs `command` in the sandbox and returns its exit status (128+N when killed by signal N).
// SIGINT/SIGTERM/SIGHUP received meanwhile are passed on to the sandbox. Throws
// std::runtime_error when bwrap cannot be started.
int runSandboxed(const Scenario& s, const Layout& l, const SandboxOptions& o, const std::vector<std::string>& command);

}  // namespace macsim
