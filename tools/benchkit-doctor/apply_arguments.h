#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/remediation/setup_remediation.h"

namespace bnch::doctor {

// What `benchkit-doctor apply` is asked to do, read from its arguments.
//
//   apply --list
//   apply ID [--yes]
//   apply mcp:SLUG [--yes] [--api-key-stdin]     (else BNCH_MCP_API_KEY, else no key)
//   apply git:config --name NAME --email EMAIL [--yes]
//   apply path-repair:local-bin|claude-local|brew-bin|DIR [--yes]
//
// Secrets are never taken from an argument: every process on the Mac can read
// another's arguments.
struct ApplyArguments {
  bool list = false;
  SetupRemediation remediation;
  bool yes = false;
  bool apiKeyFromStdin = false;  // mcp: read the key as one line of standard input
};

// What the arguments cannot say by themselves.
struct ApplyContext {
  std::filesystem::path home;
  std::filesystem::path brewBin = "/opt/homebrew/bin";  // the found brew's folder
  bool refreshIndex = false;                            // brew:uv: update Homebrew's list first
};

// A bad or unknown argument; what() is the sentence to print.
class ApplyUsageError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Throws ApplyUsageError.
ApplyArguments parseApplyArguments(const std::vector<std::string>& arguments, const ApplyContext& context);

// Every identifier `apply` takes, with its title, in catalogue order.
struct ApplyCatalogueEntry {
  std::string id;  // as typed, options included ("git:config --name NAME --email EMAIL")
  std::string title;
};
std::vector<ApplyCatalogueEntry> applyCatalogue();

}  // namespace bnch::doctor
