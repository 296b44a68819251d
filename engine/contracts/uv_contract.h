#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace bnch {

// Every fact the engine relies on about uv: where it is installed, where its
// managed Pythons live and how their folders are named, and the command lines
// run in the user's login shell. Pure values; thread-safe.
struct UvContract {
  static constexpr std::array<std::string_view, 2> brewInstalledExecutables{"/opt/homebrew/bin/uv",
                                                                            "/usr/local/bin/uv"};
  // Under the home folder: uv's own executables (uv itself, and the default python/python3).
  static constexpr std::string_view binRelativePath = ".local/bin";
  // Under the home folder: one folder per managed Python.
  static constexpr std::string_view managedPythonsRelativePath = ".local/share/uv/python";
  // Under a managed Python's folder: its interpreter.
  static constexpr std::string_view interpreterRelativePath = "bin/python3";
  // The marker a uv-managed interpreter's path contains.
  static constexpr std::string_view managedPathFragment = "/uv/python/";

  // Under the home folder: a uv the post-install check also accepts.
  static constexpr std::string_view userInstalledExecutableRelativePath = ".local/bin/uv";

  static constexpr std::string_view installDefaultPythonCommand = "uv python install --default";
  static constexpr std::string_view versionCommand = "uv --version 2>&1";
  static constexpr std::string_view zprofilePathLine = "export PATH=\"$HOME/.local/bin:$PATH\"";

  // Runs a uv-managed Python only, never downloading one; followed by a quoted
  // script, it prints what the script prints.
  static constexpr std::string_view managedPythonRunCommand =
      "uv run --no-project --managed-python --no-python-downloads python -c";
  // In the verification probe folder: create a project, add the pinned package.
  static constexpr std::string_view initProjectCommand = "uv init --no-workspace --vcs none";
  static constexpr std::string_view pinnedPackage = "cowsay==6.1";
  static constexpr std::string_view addPinnedPackageCommand = "uv add cowsay==6.1";
  static constexpr std::string_view projectRunCommand = "uv run python -c";

  // What a managed Python's folder name says: "cpython-3.12.4-macos-aarch64-none"
  // is implementation "cpython", version "3.12.4".
  struct ManagedPythonName {
    std::string implementation;  // "cpython" or "pypy"
    std::string version;         // version-like: digits and dots

    bool operator==(const ManagedPythonName&) const = default;
  };

  // Reads a folder name of managedPythonsRelativePath: split at "-" (empty pieces
  // dropped); at least two pieces, the first "cpython" or "pypy", the second
  // version-like. Anything else (a "+freethreaded" build, "Current") gives nothing.
  static std::optional<ManagedPythonName> parseManagedPythonName(std::string_view folderName);
};

}  // namespace bnch
