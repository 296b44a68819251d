#include "engine/probes/python_prober.h"

#include <future>

#include "engine/probes/python_inventory_scanner.h"
#include "engine/probes/python_path_probe.h"

namespace bnch {

SetupProbeBundle PythonProber::probe(const ShellRunner& shell, FileSystemOperating& fs) const {
  auto foundation = std::async(std::launch::async, [&] { return FoundationProber(timeLimit_).probe(shell, fs); });
  auto verdict = std::async(std::launch::async,
                            [&] { return PythonPathProbe(ProbeProcess(shell.process(), timeLimit_), fs).probe(); });
  PythonInventory inventory = PythonInventoryScanner(fs).scan();

  SetupProbeBundle bundle = foundation.get();
  bundle.pythonInventory = std::move(inventory);
  bundle.pythonPathVerdict = verdict.get();
  return bundle;
}

}  // namespace bnch
