// Drives the administrator installs with the live services inside the simulated Mac and
// prints every event, one per line, then any temporary folder or package left behind:
//
//   bnch-privileged-driver homebrew
//   bnch-privileged-driver askpass PROMPT          (prepare, then `sudo -v` through the wrapper)
//   bnch-privileged-driver formula NAME
//   bnch-privileged-driver cask NAME [ADOPTIUM_BASE_URL]   (with a base URL: the Java policy)
//   bnch-privileged-driver temurin MAJOR ADOPTIUM_BASE_URL
#include <cstdio>
#include <string>
#include <vector>

#include "engine/contracts/homebrew_contract.h"
#include "engine/platform/live_file_system.h"
#include "engine/platform/live_http_fetcher.h"
#include "engine/platform/live_process_runner.h"
#include "engine/platform/process_environment.h"
#include "engine/product/python_product.h"
#include "engine/remediation/brew_runner.h"
#include "engine/remediation/homebrew_installer.h"
#include "engine/remediation/pkg_installer.h"
#include "engine/remediation/privileged_executor.h"
#include "engine/workflow/product_config.h"

namespace {

using namespace bnch;

void print(const std::string& line) { std::printf("%s\n", line.c_str()); }

void printAll(EventStream<StreamEvent> stream) {
  for (auto& event : stream) {
    if (const auto* output = std::get_if<StreamEvent::Output>(&event.value)) {
      print("output: " + output->text);
    } else if (const auto* completed = std::get_if<StreamEvent::Completed>(&event.value)) {
      print("completed: " + std::to_string(completed->exitCode));
    } else {
      print("canceled");
    }
  }
}

void printAll(EventStream<PKGInstallerEvent> stream) {
  for (auto& event : stream) {
    std::visit(
        [](const auto& value) {
          using T = std::decay_t<decltype(value)>;
          if constexpr (std::is_same_v<T, PKGInstallerEvent::Downloading>) {
            // One line for the whole download: the last report wins below.
          } else if constexpr (std::is_same_v<T, PKGInstallerEvent::Error>) {
            print("error: " + value.message);
          } else if constexpr (std::is_same_v<T, PKGInstallerEvent::Fetching>) {
            print("fetching");
          } else if constexpr (std::is_same_v<T, PKGInstallerEvent::SlowResponse>) {
            print("slow response");
          } else if constexpr (std::is_same_v<T, PKGInstallerEvent::Verifying>) {
            print("verifying");
          } else if constexpr (std::is_same_v<T, PKGInstallerEvent::Installing>) {
            print("installing");
          } else if constexpr (std::is_same_v<T, PKGInstallerEvent::Completed>) {
            print("completed");
          } else {
            print("canceled");
          }
        },
        event.value);
  }
}

// Temporary folders of privilege contexts and downloaded packages still on disk.
void printLeftovers(FileSystemOperating& fs, const PrivilegedExecutor& executor) {
  const auto temporary = executor.options().temporaryDirectory;
  for (const auto& name : fs.contentsOfDirectory(temporary)) {
    if (name.starts_with(PrivilegedExecutor::folderPrefix) || name.starts_with("bnch-download-")) {
      print("leftover: " + (temporary / name).string());
    }
  }
  const auto cache = fs.cachesDirectory() / pythonProduct().cacheDirName;
  if (!fs.directoryExists(cache)) return;
  for (const auto& name : fs.contentsOfDirectory(cache)) print("leftover: " + (cache / name).string());
}

int usage() {
  std::fprintf(stderr, "usage: bnch-privileged-driver homebrew|askpass|formula|cask|temurin ...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return usage();
  const ProductConfig product = pythonProduct();
  auto fs = std::make_shared<LiveFileSystem>();
  auto process = std::make_shared<LiveProcessRunner>();
  auto http = std::make_shared<LiveHTTPFetcher>();
  const PrivilegedExecutor executor(fs, PrivilegedExecutor::Options::fromProcess(product.displayName));
  const auto adoptiumFor = [&](std::size_t index) {
    return args.size() > index ? AdoptiumAPI(http, args[index]) : AdoptiumAPI(http);
  };
  const std::string& command = args[0];

  if (command == "homebrew") {
    printAll(HomebrewInstaller(process, fs, executor, processEnvironment(), product).install());
  } else if (command == "askpass" && args.size() == 2) {
    PrivilegeContext context = executor.prepare(args[1]);
    const auto result = process->run({.executable = "/bin/bash",
                                      .arguments = {"-c", "sudo -v && echo 'sudo: ok' || echo 'sudo: refused'"},
                                      .environment = overlaidEnvironment(processEnvironment(), context.environment())});
    std::printf("%s%s", result.stdOut.c_str(), result.stdErr.c_str());
  } else if ((command == "formula" || command == "cask") && args.size() >= 2) {
    const auto brew = HomebrewContract::findBrew(*fs);
    if (!brew) {
      print("no brew");
      return 1;
    }
    BrewRunner runner(*brew, process, http, fs, executor, adoptiumFor(2),
                      {.applicationEnvironment = processEnvironment(), .config = product});
    if (command == "formula") {
      printAll(runner.installFormula(args[1]));
    } else {
      const auto policy =
          args.size() > 2 ? CaskRecoveryPolicy::java(args[1], fs, runner.adoptium()) : CaskRecoveryPolicy::empty();
      printAll(runner.installCask(args[1], policy, "Enter Mac password to install " + args[1] + "."));
    }
  } else if (command == "temurin" && args.size() == 3) {
    PKGInstaller installer(process, http, fs, adoptiumFor(2), product);
    printAll(installer.install(std::stoi(args[1]),
                               "Enter Mac password to install Temurin to /Library/Java/JavaVirtualMachines/"));
  } else {
    return usage();
  }
  printLeftovers(*fs, executor);
  return 0;
}
