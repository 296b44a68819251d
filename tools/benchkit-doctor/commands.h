#pragma once

#include <string>
#include <vector>

namespace bnch::doctor {

// Each subcommand takes its arguments (after the subcommand's name) and returns
// the process exit code. Output goes to standard output; errors to standard error.
using Arguments = std::vector<std::string>;

int configCommand(const Arguments& arguments);
int verifyCommand(const Arguments& arguments);

}  // namespace bnch::doctor
