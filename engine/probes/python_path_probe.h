#pragma once

#include <optional>
#include <string>

#include "engine/platform/file_system_operating.h"
#include "engine/platform/shell_runner.h"
#include "engine/probes/probe_process.h"
#include "engine/probes/python_inventory.h"

namespace bnch {

// Asks a new Terminal window which programs answer `python` and `python3`, the
// two questions run concurrently: the path, where its links really lead, and the
// version of that interpreter (from the version folder it lies in, else asked of
// the interpreter itself; Apple's stubs are never run). A shell that cannot
// start, does not answer in time or finds nothing gives an absent path. `probe`
// blocks; the file system must outlive the call.
class PythonPathProbe {
 public:
  PythonPathProbe(ProbeProcess process, const FileSystemOperating& fs) : process_(std::move(process)), fs_(fs) {}
  PythonPathProbe(const ShellRunner& shell, const FileSystemOperating& fs) : process_(shell.process()), fs_(fs) {}

  PythonPathVerdict probe() const;
  PythonCommandResolution resolve(const std::string& command) const;

 private:
  std::optional<std::string> askVersion(const std::string& interpreter) const;

  ProbeProcess process_;
  const FileSystemOperating& fs_;
};

}  // namespace bnch
