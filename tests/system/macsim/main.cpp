// macsim: run a command in a simulated Mac laid out from a scenario file.
//
//   macsim run SCENARIO.json [options] -- COMMAND [ARGS...]
//   macsim shell SCENARIO.json [options]
// options:
//   --keep DIR     lay the disk out in DIR (created, must be empty) and leave it there
//   --share DIR    make a host folder writable inside, at the same path
//   --ro DIR       make a host folder readable inside, at the same path
//   --env K=V      set (or, with an empty value, remove) an environment variable
// The project's source and build trees are always visible read-only at their own paths.
// A root caller runs the command as the scenario's uid without a user namespace: inside a
// user namespace that user would be host root without capabilities, able to read every
// root-owned file bound into the sandbox.
// Exit status: the command's; 125 when macsim itself fails.
#include <unistd.h>

#include <chrono>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "layout.h"
#include "sandbox.h"
#include "scenario.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMacsimFailed = 125;

int usage() {
  std::cerr << "usage: macsim run SCENARIO.json [--keep DIR] [--share DIR]... [--ro DIR]... [--env K=V]... "
               "-- COMMAND [ARGS...]\n"
               "       macsim shell SCENARIO.json [same options]\n";
  return 2;
}

bool isInside(const fs::path& inner, const fs::path& outer) {
  const auto rel = fs::weakly_canonical(inner).lexically_relative(fs::weakly_canonical(outer));
  return !rel.empty() && *rel.begin() != "..";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() < 2 || (args[0] != "run" && args[0] != "shell")) return usage();
  const bool shell = args[0] == "shell";
  const fs::path scenarioFile = args[1];
  fs::path keep;
  macsim::SandboxOptions opts;
  std::vector<std::string> command;
  size_t i = 2;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw std::runtime_error(a + " needs a value");
      return args[++i];
    };
    try {
      if (a == "--") {
        ++i;
        break;
      } else if (a == "--keep") {
        keep = value();
      } else if (a == "--share") {
        opts.readWrite.push_back(value());
      } else if (a == "--ro") {
        opts.readOnly.push_back(value());
      } else if (a == "--env") {
        const std::string kv = value();
        const auto eq = kv.find('=');
        if (eq == std::string::npos || eq == 0) throw std::runtime_error("--env wants K=V");
        opts.env[kv.substr(0, eq)] = kv.substr(eq + 1);
      } else {
        return usage();
      }
    } catch (const std::exception& e) {
      std::cerr << "macsim: " << e.what() << "\n";
      return 2;
    }
  }
  command.assign(args.begin() + static_cast<long>(std::min(i, args.size())), args.end());
  if (shell) {
    if (!command.empty()) return usage();
    command = {"/bin/zsh", "-l"};
    opts.interactive = true;
  } else if (command.empty()) {
    return usage();
  }

  const char* fakesEnv = std::getenv("MACSIM_FAKES");
  opts.fakesDir = fakesEnv && *fakesEnv ? fs::path(fakesEnv) : fs::path(MACSIM_FAKES_DIR);
  opts.rootMode = ::geteuid() == 0;
  opts.readOnly.insert(opts.readOnly.begin(), fs::path(MACSIM_SOURCE_DIR));
  if (!isInside(MACSIM_BINARY_DIR, MACSIM_SOURCE_DIR))
    opts.readOnly.insert(opts.readOnly.begin() + 1, MACSIM_BINARY_DIR);

  // Kept in the build tree; MACSIM_CACHE= (empty) turns the cache off.
  const char* cacheEnv = std::getenv("MACSIM_CACHE");
  const fs::path cacheDir = cacheEnv ? fs::path(cacheEnv) : fs::path(MACSIM_BINARY_DIR) / "macsim-cache";

  fs::path root;
  int rc = kMacsimFailed;
  try {
    const macsim::Scenario scenario = macsim::loadScenario(scenarioFile);
    if (!keep.empty()) {
      fs::create_directories(keep);
      if (!fs::is_empty(keep)) throw std::runtime_error("--keep folder is not empty: " + keep.string());
      root = fs::canonical(keep);
    } else {
      const char* tmp = std::getenv("MACSIM_TMPDIR");
      std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/macsim-" + scenario.name + "-XXXXXX";
      if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed for " + tmpl);
      root = tmpl;
    }
    const auto t0 = std::chrono::steady_clock::now();
    const macsim::Layout layout =
        macsim::layOut(scenario, root, {.fakesDir = opts.fakesDir, .rootMode = opts.rootMode, .cacheDir = cacheDir});
    const auto t1 = std::chrono::steady_clock::now();
    rc = macsim::runSandboxed(scenario, layout, opts, command);
    if (std::getenv("MACSIM_TRACE")) {
      const auto t2 = std::chrono::steady_clock::now();
      using ms = std::chrono::duration<double, std::milli>;
      std::fprintf(stderr, "macsim: layout %.1f ms, sandbox %.1f ms\n", ms(t1 - t0).count(), ms(t2 - t1).count());
    }
  } catch (const std::exception& e) {
    std::cerr << "macsim: " << e.what() << "\n";
    rc = kMacsimFailed;
  }
  if (keep.empty() && !root.empty()) macsim::removeTree(root);
  return rc;
}
