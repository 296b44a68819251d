#pragma once

#include <string>
#include <vector>

#include "engine/platform/file_system_operating.h"
#include "engine/probes/python_inventory.h"

namespace bnch {

// Finds the Pythons on disk from folder names and existence checks alone (no
// interpreter is run, no file opened) and labels each with its origin: Apple's,
// the official installer's, Homebrew's, uv's, and those of pyenv, asdf, rye and
// conda. Where several versions are candidates for one install (Apple's
// framework versions, Homebrew's python@ folders, conda's lib/python3.*), the
// highest version by number is taken. Unreadable folders count as empty.
// `scan` blocks the calling thread; the file system must outlive the scanner.
class PythonInventoryScanner {
 public:
  explicit PythonInventoryScanner(const FileSystemOperating& fs) : fs_(fs) {}

  PythonInventory scan() const;

  // Orders installs by origin (apple, pythonOrg, homebrew, uv, competing), then
  // by path; stable.
  static void sortInstalls(std::vector<PythonInstall>& installs);

 private:
  const FileSystemOperating& fs_;
};

}  // namespace bnch
