// benchkit-doctor: a command-line front end over the engine.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>

#include "engine/platform/live_process_runner.h"

#include "tools/benchkit-doctor/commands.h"

namespace {

using Command = std::function<int(const bnch::doctor::Arguments&)>;

const std::map<std::string, Command>& commands() {
  static const std::map<std::string, Command> table{
      {"config", bnch::doctor::configCommand},     {"profile", bnch::doctor::profileCommand},
      {"probes", bnch::doctor::probesCommand},     {"readiness", bnch::doctor::readinessCommand},
      {"report", bnch::doctor::reportCommand},     {"verify", bnch::doctor::verifyCommand},
      {"diagnose", bnch::doctor::diagnoseCommand}, {"apply", bnch::doctor::applyCommand},
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
               "       benchkit-doctor verify [--json]\n"
               "       benchkit-doctor apply --list | ID [--yes]\n");
}

// The bytes as printable ASCII: anything else (terminal escapes, control
// characters, other bytes) as \xNN, and quotes and backslashes escaped.
std::string escaped(const std::string& bytes) {
  std::string text;
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') {
      text += '\\';
      text += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7f) {
      text += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      text += hex;
    }
  }
  return text;
}

int run(const bnch::doctor::Arguments& given) {
  bnch::doctor::Arguments arguments = given;
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
    std::fprintf(stderr, "benchkit-doctor: unknown command \"%s\"\n", escaped(name).c_str());
    printUsage(stderr);
    return 2;
  }
  arguments.erase(arguments.begin());
  return it->second(arguments);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "apply") {
    // Stopping apply cancels the remediation (its clean-up runs) and exits 130.
    bnch::doctor::cancelRemediationsOnTerminationSignals();
  } else {
    // Stopping the doctor stops every program it started, with 128 + the signal.
    bnch::endChildProcessGroupsOnTerminationSignals();
  }
  // A peer closing a connection must end a request, not the program.
  std::signal(SIGPIPE, SIG_IGN);
  const int status = run(bnch::doctor::Arguments(argv + 1, argv + argc));
  // Output that could not be written (a full disk, a closed pipe) is a failure.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "benchkit-doctor: couldn\u2019t write the output: %s\n", std::strerror(errno));
    return status == 0 ? 1 : status;
  }
  return status;
}
