#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bnch {

struct PythonInstall {
  // Who installed and controls an interpreter; ordered as listed for sorting.
  struct Origin {
    enum class Kind { apple, pythonOrg, homebrew, uv, competing };
    Kind kind = Kind::apple;
    std::string owner;  // "pyenv", "asdf", "rye" or "conda" for `competing`

    static Origin apple() { return {Kind::apple, {}}; }
    static Origin pythonOrg() { return {Kind::pythonOrg, {}}; }
    static Origin homebrew() { return {Kind::homebrew, {}}; }
    static Origin uv() { return {Kind::uv, {}}; }
    static Origin competing(std::string owner) { return {Kind::competing, std::move(owner)}; }

    bool isCompeting(const std::string& name) const { return kind == Kind::competing && owner == name; }
    bool operator==(const Origin&) const = default;
  };

  Origin origin;
  std::string path;
  std::optional<std::string> version;

  bool operator==(const PythonInstall&) const = default;
};

struct PythonInventory {
  std::vector<PythonInstall> installs;
  std::string homeDirectory;

  bool operator==(const PythonInventory&) const = default;
};

struct PythonCommandResolution {
  std::string command;  // "python" or "python3"
  std::optional<std::string> resolvedPath;
  // Where the path really leads, every link followed (equal to the path when it
  // is no link); absent when it could not be resolved to an existing file.
  std::optional<std::string> resolvedTarget{};
  // The version of the interpreter the command runs; absent when unknown.
  std::optional<std::string> version{};

  bool operator==(const PythonCommandResolution&) const = default;
};

struct PythonPathVerdict {
  PythonCommandResolution python{"python", std::nullopt};
  PythonCommandResolution python3{"python3", std::nullopt};

  bool operator==(const PythonPathVerdict&) const = default;
};

}  // namespace bnch
