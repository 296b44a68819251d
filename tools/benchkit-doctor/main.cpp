// benchkit-doctor: a command-line front end over the engine.
#include <csignal>
#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "tools/benchkit-doctor/commands.h"

namespace {

using Command = std::function<int(const bnch::doctor::Arguments&)>;

const std::map<std::string, Command>& commands() {
  static const std::map<std::string, Command> table{
      {"config", bnch::doctor::configCommand},     {"profile", bnch::doctor::profileCommand},
      {"probes", bnch::doctor::probesCommand},     {"readiness", bnch::doctor::readinessCommand},
      {"report", bnch::doctor::reportCommand},     {"verify", bnch::doctor::verifyCommand},
      {"diagnose", bnch::doctor::diagnoseCommand},
  };
  return table;
}

void printUsage(std::FILE* to) {
  std::fprintf(to,
               "usage: benchkit-doctor --version\n"
               "       benchkit-doctor [report [--no-network]]\n"
               "       benchkit-doctor config --json\n"
               "       benchkit-doctor profile --json\n"
               "       benchkit-doctor probes --json\n"
               "       benchkit-doctor readiness --json [--no-network]\n"
               "       benchkit-doctor diagnose [--json]\n"
               "       benchkit-doctor verify [--json]\n");
}

}  // namespace

int main(int argc, char** argv) {
  // A peer closing a connection must end a request, not the program.
  std::signal(SIGPIPE, SIG_IGN);
  bnch::doctor::Arguments arguments(argv + 1, argv + argc);
  if (arguments.empty()) return bnch::doctor::reportCommand(arguments);
  const std::string name = arguments.front();
  if (name == "--version") {
    std::puts("benchkit-doctor 1.0.0");
    return 0;
  }
  if (name == "--help" || name == "-h") {
    printUsage(stdout);
    return 0;
  }
  auto it = commands().find(name);
  if (it == commands().end()) {
    std::fprintf(stderr, "benchkit-doctor: unknown command \"%s\"\n", name.c_str());
    printUsage(stderr);
    return 2;
  }
  arguments.erase(arguments.begin());
  return it->second(arguments);
}
